// https on loopback: certificates made at run time by a test CA, checked by the client
// for chain and name.
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "http/HttpClient.h"
#include "tests/http/TestServer.h"

namespace fs = std::filesystem;

namespace {

struct TCtxFree {
  void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};
using TCtx = std::unique_ptr<SSL_CTX, TCtxFree>;
struct TSslFree {
  void operator()(SSL* s) const { SSL_free(s); }
};

// A TLS server session over an accepted socket.
class TTlsStream : public TServerStream {
 public:
  TTlsStream(SSL_CTX* ctx, TSocketId s) : ssl_(SSL_new(ctx)) {
    SSL_set_fd(ssl_.get(), static_cast<int>(s));
    ok_ = SSL_accept(ssl_.get()) == 1;
  }
  ~TTlsStream() override {
    if (ok_) SSL_shutdown(ssl_.get());
  }
  bool Ok() const { return ok_; }
  bool HasPending() override { return SSL_pending(ssl_.get()) > 0; }
  int Read(char* buf, int size) override { return SSL_read(ssl_.get(), buf, size); }
  bool Write(const std::string& data) override {
    return SSL_write(ssl_.get(), data.data(), int(data.size())) == int(data.size());
  }

 private:
  std::unique_ptr<SSL, TSslFree> ssl_;
  bool ok_ = false;
};

// Accepts every connection as TLS with one server certificate.
class TTlsWrap : public TServerWrap {
 public:
  explicit TTlsWrap(TCtx ctx) : ctx_(std::move(ctx)) {}
  std::unique_ptr<TServerStream> Wrap(TSocketId s) override {
    auto stream = std::make_unique<TTlsStream>(ctx_.get(), s);
    if (!stream->Ok()) return nullptr;
    return stream;
  }

 private:
  TCtx ctx_;
};

class HttpTlsTest : public ::testing::Test {
 protected:
  static inline fs::path dir;

  static bool Run(const std::string& cmd) { return std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()) == 0; }

  // A CA (key and certificate) under name.
  static bool MakeCa(const std::string& name) {
    return Run("cd " + dir.string() + " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout " + name +
               ".key -out " + name + ".pem -subj '/CN=" + name + "' -addext basicConstraints=critical,CA:TRUE" +
               " -addext keyUsage=critical,keyCertSign,cRLSign");
  }
  // A server certificate with the given subjectAltName, signed by ca.
  static bool MakeServer(const std::string& name, const std::string& ca, const std::string& san) {
    std::ofstream(dir / (name + ".ext")) << "subjectAltName=" << san << "\nextendedKeyUsage=serverAuth\n";
    return Run("cd " + dir.string() + " && openssl req -newkey rsa:2048 -nodes -keyout " + name + ".key -out " +
               name + ".csr -subj '/CN=" + name + "' && openssl x509 -req -in " + name + ".csr -CA " + ca +
               ".pem -CAkey " + ca + ".key -CAcreateserial -days 2 -out " + name + ".pem -extfile " + name + ".ext");
  }

  static void SetUpTestSuite() {
    dir = fs::temp_directory_path() / ("zorvik-tls-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ASSERT_TRUE(MakeCa("testca") && MakeCa("rogueca"));
    ASSERT_TRUE(MakeServer("good", "testca", "DNS:localhost,IP:127.0.0.1"));
    ASSERT_TRUE(MakeServer("wrongname", "testca", "DNS:other.example"));
    ASSERT_TRUE(MakeServer("untrusted", "rogueca", "DNS:localhost,IP:127.0.0.1"));
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void TearDown() override { ResetTlsLibraryNames(); }

  static std::shared_ptr<TServerWrap> ServerTls(const std::string& name) {
    TCtx ctx(SSL_CTX_new(TLS_server_method()));
    SSL_CTX_use_certificate_chain_file(ctx.get(), (dir / (name + ".pem")).c_str());
    SSL_CTX_use_PrivateKey_file(ctx.get(), (dir / (name + ".key")).c_str(), SSL_FILETYPE_PEM);
    return std::make_shared<TTlsWrap>(std::move(ctx));
  }
};

TEST_F(HttpTlsTest, TrustedChainWithMatchingNameDownloads) {
  TTestServer server(false, ServerTls("good"));
  for (const std::string host : {"localhost", "127.0.0.1"}) {
    SCOPED_TRACE(host);
    THTTPClient client;
    client.Timeout = 3000;
    client.Sock.CAFile = (dir / "testca.pem").string();
    server.Queue({Send("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nPK\x03\x04")});
    ASSERT_TRUE(client.ExecuteRequest(u"GET", U("https://" + host + ":" + server.PortText() + "/DB.zip")));
    EXPECT_EQ(std::string(client.Document.Bytes().begin(), client.Document.Bytes().end()), "PK\x03\x04");
    EXPECT_NE(server.Requests().back().find("\r\nHost: " + host + ":" + server.PortText() + "\r\n"), std::string::npos);
  }
}

TEST_F(HttpTlsTest, BodyToCloseOverTlsEndsWithTheClose) {
  TTestServer server(false, ServerTls("good"));
  THTTPClient client;
  client.Timeout = 3000;
  client.Sock.CAFile = (dir / "testca.pem").string();
  std::string big(300000, 'z');
  server.Queue({Send("HTTP/1.0 200 OK\r\n\r\n"), Send(big), Close()});
  ASSERT_TRUE(client.ExecuteRequest(u"GET", U("https://localhost:" + server.PortText() + "/")));
  EXPECT_EQ(client.Document.Size(), static_cast<std::int64_t>(big.size()));
}

TEST_F(HttpTlsTest, WrongNameOrUntrustedChainIsRefused) {
  for (const std::string name : {"wrongname", "untrusted"}) {
    SCOPED_TRACE(name);
    TTestServer server(false, ServerTls(name));
    THTTPClient client;
    client.Timeout = 3000;
    client.Sock.CAFile = (dir / "testca.pem").string();
    server.Queue({Send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nno")});
    EXPECT_FALSE(client.ExecuteRequest(u"GET", U("https://localhost:" + server.PortText() + "/")));
    EXPECT_EQ(client.ResultCode, 500);
    EXPECT_EQ(client.Sock.LastError(), WSASYSNOTREADY);
    EXPECT_TRUE(server.Requests().empty());
  }
}

}  // namespace
