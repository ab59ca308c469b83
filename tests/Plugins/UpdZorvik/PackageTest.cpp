// Fetching the package over loopback HTTP: what the body decides, and the errors of the
// temporary archive file.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>

#include "tests/Plugins/UpdZorvik/RunTestHost.h"
#include "tests/http/TestServer.h"

namespace {

namespace fs = std::filesystem;

std::string Response(const std::string& status, const std::string& type, const std::string& body) {
  return "HTTP/1.0 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

class DownloadPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listening());
    zip = std::string(4, '\0');
    zip = std::string("PK\x05\x06", 4) + std::string(18, '\0');  // an empty archive
    target = Utf8ToUString((h.Dir / "~Ar1.tmp").string());
    std::ofstream(UStringToUtf8(target));  // the run makes the file empty beforehand
  }
  UString Url() const { return u"http://127.0.0.1:" + Utf8ToUString(server.PortText()) + u"/download/other/DB.zip"; }
  std::string Target() const {
    std::ifstream in(UStringToUtf8(target), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TRunTestHost h;
  TTestServer server;
  std::string zip;
  UString target;
  std::unique_ptr<TStream> stream;
};

TEST_F(DownloadPackageTest, BodyDecidesNotStatus) {
  struct Case {
    const char* name;
    std::string response;
    bool ok;
  };
  const Case cases[] = {
      {"200 with a ZIP body", Response("200 OK", "application/zip", zip), true},
      {"404 with a ZIP body", Response("404 Not Found", "application/zip", zip), true},
      {"404 with an HTML page", Response("404 Not Found", "text/html", "<html>not here</html>"), false},
      {"200 with an empty body", Response("200 OK", "application/zip", ""), false},
      {"four signature bytes only", Response("200 OK", "application/zip", std::string("PK\x05\x06", 4)), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(UStringToUtf8(target), std::ios::trunc);
    server.Queue({Send(c.response), Close()});
    EXPECT_EQ(h.Dialog->DownloadPackage(Url(), target, stream), c.ok);
    EXPECT_EQ(stream != nullptr, c.ok);
    EXPECT_EQ(h.Dialog->psInfo.Text(), u"");
    std::string body = c.response.substr(c.response.find("\r\n\r\n") + 4);
    if (c.ok) {
      EXPECT_EQ(stream->Position(), 0);
      EXPECT_EQ(Target(), body) << "the body is written unchanged";
    } else {
      EXPECT_EQ(Target(), "") << "a refused body leaves the file as the run made it";
    }
    stream.reset();
  }
}

TEST_F(DownloadPackageTest, NoServerIsAFailureNotAnError) {
  UString url = Url();
  server.~TTestServer();
  new (&server) TTestServer();  // the old port is closed now
  EXPECT_FALSE(h.Dialog->DownloadPackage(url, target, stream));
  EXPECT_EQ(stream, nullptr);
}

TEST_F(DownloadPackageTest, TemporaryFileThatCannotBeCreated) {
  server.Queue({Send(Response("200 OK", "application/zip", zip)), Close()});
  UString bad = Utf8ToUString((h.Dir / "missing" / "~Ar.tmp").string());
  try {
    h.Dialog->DownloadPackage(Url(), bad, stream);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message.rfind(u"Cannot create file \"" + bad + u"\". ", 0), 0u);
  }
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(h.Dialog->psInfo.Text(), u"");
}

TEST_F(DownloadPackageTest, DiskFullWhileWriting) {
  std::string body = zip + std::string(64 * 1024, 'x');
  server.Queue({Send(Response("200 OK", "application/zip", body)), Close()});
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  bool raised = false;
  try {
    h.Dialog->DownloadPackage(Url(), target, stream);
  } catch (const EWriteError& e) {
    raised = e.Message == u"Stream write error";
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(h.Dialog->psInfo.Text(), u"");
}

}  // namespace
