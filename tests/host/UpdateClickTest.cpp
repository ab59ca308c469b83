// The whole click on Windows: the built module is loaded as the logging application loads
// it, and the host's update job drives its real dialog windows with the sample package
// from a local file and from a loopback web server reached through Windows Sockets. Where the Jet provider is missing (Wine, 64-bit Windows) the run ends
// on the error that names it; either way no temporary file is left, and the dialog's
// settings go to the host's settings file and come back from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "host/HostAutomation.h"
#include "host/HostTestUtil.h"
#include "host/HostUpdate.h"
#include "host/ModuleLoader.h"
#include "tests/http/TestServer.h"

namespace {

namespace fs = std::filesystem;

constexpr char kProvider[] = "Microsoft.Jet.OLEDB.4.0";

struct UpdateClick : THostFixture {
  std::unique_ptr<TModuleLoader> module;
  std::string out, err;

  void SetUp() override {
    host->Kernel.MessageHook = [this](const UString& text, const UString& caption) {
      err += "[" + UStringToUtf8(caption) + "] " + UStringToUtf8(text) + "\n";
    };
    module = std::make_unique<TModuleLoader>(U(ZORVIK_BIN_DIR "/UpdZorvik.ext"), &host->Menus);
    ASSERT_EQ(module->Start(host.get()), S_OK);
  }
  void TearDown() override {
    if (module) EXPECT_EQ(module->Unload(), S_OK);
  }

  bool Run(const TUpdateRequest& request) {
    std::ostringstream o, e;
    bool ok = RunUpdateJob(*host, request, o, e);
    out = o.str();
    err += e.str();
    return ok;
  }
  // Names of the files left in the download folder.
  std::vector<std::string> Downloads() const {
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(fs::path(host->Kernel.DownloadDir())))
      names.push_back(f.path().filename().string());
    return names;
  }
  static std::string Package() {
    return ReadFile(fs::path(ExamplesDir()) / "sample-package.zip");
  }
  // Ends on the missing provider, or succeeds where Jet is installed.
  void ExpectEndOfRun(bool ok) {
    if (!ok) {
      EXPECT_NE(err.find(kProvider), std::string::npos) << out << err;
      EXPECT_NE(out.find("Result:           the update run failed"), std::string::npos) << out;
    }
    EXPECT_EQ(Downloads(), std::vector<std::string>{}) << "temporary files left behind";
  }
};

TEST_F(UpdateClick, SamplePackageIsOpenedAndTheRunEndsOnTheMissingProvider) {
  bool ok = Run({});
  EXPECT_NE(err.find("it now holds the sample callbook"), std::string::npos) << err;
  // The package was opened and its database found before the provider was asked for.
  EXPECT_NE(out.find("* Use: "), std::string::npos) << out;
  EXPECT_NE(out.find("Update package dated "), std::string::npos) << out;
  ExpectEndOfRun(ok);
  if (!ok) {
    EXPECT_EQ(host->Kernel.Value(u"REFRESH"), u"");
  }
}

TEST_F(UpdateClick, InternetSourceDownloadsOverLoopbackAndLeavesNoTemporaryFile) {
  TTestServer server;
  ASSERT_TRUE(server.Listening());
  const std::string zip = Package();
  server.Queue({Send("HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " +
                     std::to_string(zip.size()) + "\r\nConnection: close\r\n\r\n" + zip),
                Close()});
  const UString url = U("http://127.0.0.1:" + server.PortText() + "/download/other/DB.zip");
  TUpdateRequest request;
  request.Internet = url;
  request.Fields = {"name", "qth"};
  bool ok = Run(request);
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u) << out << err;
  EXPECT_EQ(requests[0].rfind("GET /download/other/DB.zip HTTP/1.", 0), 0u) << requests[0];
  // The whole package arrived: its database was found in it.
  EXPECT_NE(out.find("* Use: " + UStringToUtf8(url)), std::string::npos) << out;
  EXPECT_NE(out.find("Update package dated "), std::string::npos) << out << err;
  ExpectEndOfRun(ok);

  // The settings of the run are in the host's settings file ...
  std::string ini = ReadFile(fs::path(host->Kernel.IniPath()));
  EXPECT_NE(ini.find("[Zorvik]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Location=Internet"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Resource=" + UStringToUtf8(url)), std::string::npos) << ini;
  EXPECT_NE(ini.find("Name=1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Grid=0"), std::string::npos) << ini;

  // ... and the dialog opened again shows them.
  using Action = ui_runtime::Action;
  UString shown;
  {
    THostAutomation person(*host, nullptr, nullptr);
    Action watch = Action::Make(Action::Watch, u"edSource");
    watch.onText = [&](UStringView t) { shown = UString(t); };
    person.Act(std::move(watch));
    person.Act(Action::Make(Action::Close, {}));
    ASSERT_EQ(host->Menus.Items().at(0)->Click().Code, S_OK);
  }
  EXPECT_EQ(shown, url);
}

}  // namespace
