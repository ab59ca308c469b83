// The update dialog driven as a person would, through queued actions on a real host.
#include <gtest/gtest.h>

#include <fstream>

#include "Plugins/UpdZorvik/UpdZorvik.h"
#include "platform/Kernel.h"
#include "tests/Plugins/UpdZorvik/RunTestHost.h"
#include "tests/http/TestServer.h"
#include "ui/UiRuntime.h"

namespace {

namespace fs = std::filesystem;
using Action = ui_runtime::Action;
using O = std::optional<UString>;


std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UpdateDone = false;
    ui_runtime::ClearPending();
    ui_runtime::SetMessageBoxSink([this](UStringView text, UStringView) { boxes.emplace_back(text); });
    localFile = Utf8ToUString((h.Dir / "Download" / "DB.zip").string());
  }
  void TearDown() override {
    ui_runtime::SetMessageBoxSink(nullptr);
    ui_runtime::SetChooserHook(nullptr);
    ui_runtime::ClearPending();
  }

  // A fresh dialog filled as the menu handler fills it.
  std::unique_ptr<TfrmUpdZorvik> NewDialog() {
    auto d = std::make_unique<TfrmUpdZorvik>(h.Core.get());
    d->Caption = PluginCaption;
    d->FHostKernel = h.Dialog->FHostKernel;
    d->FHostServer = h.Dialog->FHostServer;
    d->FIniPath = h.Core->Kernel.IniPath();
    d->FSection = u"Zorvik";
    d->FInternetResource = DefaultInternetResource();
    d->FLocalFile = localFile;
    d->FLocation = slInternet;
    return d;
  }
  void Do(Action a) {
    ui_runtime::PostAction(std::move(a), true, [this](const Action& r) { refused.push_back(UStringToUtf8(r.control)); });
  }
  void Then(std::function<void()> check) { ui_runtime::Post({std::move(check), true}); }
  void WriteSettings(const std::string& text) { std::ofstream(UStringToUtf8(h.Core->Kernel.IniPath())) << text; }
  std::string Settings() { return ReadFile(UStringToUtf8(h.Core->Kernel.IniPath())); }

  TRunTestHost h;
  UString localFile;
  std::vector<UString> boxes;
  std::vector<std::string> refused;
};

TEST_F(DialogTest, FirstOpenWithoutSettings) {
  auto d = NewDialog();
  Then([&] {
    EXPECT_EQ(d->rgLocation.ItemIndex(), 0);
    EXPECT_EQ(d->edSource.Text(), u" http://www.zorvik.example/download/other/DB.zip");
    EXPECT_TRUE(d->cgUseFields.Checked(0));
    for (int i = 1; i <= 5; ++i) EXPECT_FALSE(d->cgUseFields.Checked(i));
    EXPECT_FALSE(d->dbtUpdateOk.Enabled());
    EXPECT_FALSE(d->edSource.ButtonVisible());
  });
  Do(Action::Make(Action::Toggle, u"cgUseFields", {}, 0));  // Callsign cannot be cleared
  Then([&] {
    EXPECT_TRUE(d->cgUseFields.Checked(0));
    EXPECT_FALSE(d->dbtUpdateOk.Enabled()) << "Callsign alone is not enough";
  });
  Do(Action::Make(Action::Toggle, u"cgUseFields", {}, 2));
  Then([&] { EXPECT_TRUE(d->dbtUpdateOk.Enabled()); });
  Do(Action::Make(Action::SetText, u"edSource", u"   "));
  Then([&] { EXPECT_FALSE(d->dbtUpdateOk.Enabled()) << "blanks only"; });
  d->ShowModal();
  EXPECT_EQ(refused, std::vector<std::string>{"cgUseFields"});
  EXPECT_EQ(h.Core->Windows.ModalStarts, 1);
  EXPECT_EQ(h.Core->Windows.ModalFinishes, 1);
  EXPECT_FALSE(fs::exists(UStringToUtf8(h.Core->Kernel.IniPath()))) << "closing without a run saves nothing";
}

TEST_F(DialogTest, StoredSettingsAreReadOnActivation) {
  struct Case {
    const char* name;
    std::string ini;
    int radio;
    UString text;
    bool boxes[5];
  };
  fs::create_directories(h.Dir / "Download");
  const Case cases[] = {
      {"lower-case internet keeps the menu's location and still reads Resource",
       "[Zorvik]\nLocation=internet\nResource=http://mirror.example/x.zip\nName=1\nQTH=0x0\nGrid=$1\n", 0,
       u"http://mirror.example/x.zip", {true, false, true, false, false}},
      {"Local without Resource shows the default file", "[zorvik]\nlocation = Local\nmanager=7\n", 1, localFile,
       {false, false, false, false, true}},
      {"stored Resource loses its leading blank", "[Zorvik]\nResource= http://a.example/DB.zip \nState=yes\n", 0,
       u"http://a.example/DB.zip", {false, false, false, false, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteSettings(c.ini);
    auto d = NewDialog();
    Then([&] {
      EXPECT_EQ(d->rgLocation.ItemIndex(), c.radio);
      EXPECT_EQ(UStringToUtf8(d->edSource.Text()), UStringToUtf8(c.text));
      for (int i = 0; i < 5; ++i) EXPECT_EQ(d->cgUseFields.Checked(i + 1), c.boxes[i]) << "box " << i + 1;
    });
    d->ShowModal();
  }
}

TEST_F(DialogTest, LocalSourceTakesOnlyTheBrowseButton) {
  WriteSettings("[Zorvik]\nLocation=Local\nName=1\n");
  fs::path package = h.Package("tiny.zip");
  auto d = NewDialog();
  Then([&] {
    EXPECT_TRUE(d->edSource.ButtonVisible());
    EXPECT_FALSE(d->dbtUpdateOk.Enabled()) << "the default local file does not exist";
  });
  for (auto kind : {Action::Type, Action::Backspace, Action::Paste, Action::Cut, Action::SetText})
    Do(Action::Make(kind, u"edSource", u"x"));
  std::vector<ui_runtime::ChooserRequest> asked;
  ui_runtime::SetChooserHook([&](const ui_runtime::ChooserRequest& r) -> std::optional<UString> {
    asked.push_back(r);
    return asked.size() == 1 ? std::optional<UString>(Utf8ToUString(package.string())) : std::nullopt;
  });
  Do(Action::Make(Action::Press, u"edSource"));
  Then([&] {
    EXPECT_EQ(d->edSource.Text(), Utf8ToUString(package.string()));
    EXPECT_TRUE(d->dbtUpdateOk.Enabled());
    d->edSource.SetText(Utf8ToUString(package.string()) + u" ");
    EXPECT_FALSE(d->dbtUpdateOk.Enabled()) << "a trailing blank is tested as it stands";
    d->edSource.SetText(Utf8ToUString(package.string()));
  });
  Do(Action::Make(Action::Press, u"edSource"));  // browse from an existing file, then cancel
  d->ShowModal();
  EXPECT_EQ(refused.size(), 5u) << "typing, deleting, pasting and cutting are refused";
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].title, u"Select updates...");
  EXPECT_EQ(asked[0].initialDir, localFile) << "no such file: the whole text";
  EXPECT_EQ(asked[0].fileName, u"");
  EXPECT_EQ(asked[1].initialDir, Utf8ToUString(package.parent_path().string()));
  EXPECT_EQ(asked[1].fileName, u"pkg-tiny");
  EXPECT_EQ(asked[1].defaultExt, u".zip");
}

TEST_F(DialogTest, SwitchingLocationAndBackDiscardsATypedUrl) {
  auto d = NewDialog();
  Do(Action::Make(Action::SetText, u"edSource", u"http://typed.example/"));
  Do(Action::Make(Action::Select, u"rgLocation", {}, 1));
  Then([&] { EXPECT_EQ(d->edSource.Text(), localFile); });
  Do(Action::Make(Action::Select, u"rgLocation", {}, 0));
  Then([&] { EXPECT_EQ(d->edSource.Text(), DefaultInternetResource()); });
  d->ShowModal();
}

TEST_F(DialogTest, SuccessfulRunDisablesUpdateUntilTheSourceChangesAndSavesOnClose) {
  const std::string other = "; host settings\r\n[Window]\r\nLeft = 10\r\n\r\n[Zorvik]\r\nColour=blue\r\n";
  WriteSettings(other);
  h.Import({{u"Q0ZZZ", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"}});
  fs::path package = h.Package("tiny.zip");
  auto d = NewDialog();
  Do(Action::Make(Action::Select, u"rgLocation", {}, 1));
  ui_runtime::QueueChooserAnswer(Utf8ToUString(package.string()));
  Do(Action::Make(Action::Press, u"edSource"));
  Do(Action::Make(Action::Check, u"cgUseFields", {}, 1, true));
  Do(Action::Make(Action::Check, u"cgUseFields", {}, 5, true));
  Do(Action::Make(Action::Press, u"dbtUpdateOk"));
  Then([&] {
    EXPECT_TRUE(UpdateDone);
    EXPECT_FALSE(d->dbtUpdateOk.Enabled()) << "disabled after success";
    EXPECT_NE(d->mProgress.Text().find(u"* Done. Elapsed time "), UString::npos);
  });
  Do(Action::Make(Action::Press, u"dbtUpdateOk"));  // refused: disabled
  d->ShowModal();
  EXPECT_EQ(refused, std::vector<std::string>{"dbtUpdateOk"});
  EXPECT_EQ(h.Row(u"Q0ZZZ")[1], O(u"Zed"));
  // Every other line of the host's file is kept; the dialog's keys join its section.
  std::string saved = Settings();
  EXPECT_EQ(saved.rfind(other, 0), 0u) << saved;
  EXPECT_NE(saved.find("Location=Local\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Resource=" + package.string() + "\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Name=1\r\n"), std::string::npos);
  EXPECT_NE(saved.find("QTH=0\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Manager=1\r\n"), std::string::npos);

  // The next click shows what the first saved; a source change re-enables Update, and
  // closing then saves nothing.
  auto second = NewDialog();
  Then([&] {
    EXPECT_EQ(second->rgLocation.ItemIndex(), 1);
    EXPECT_EQ(second->edSource.Text(), Utf8ToUString(package.string()));
    EXPECT_TRUE(second->cgUseFields.Checked(1));
    EXPECT_TRUE(second->cgUseFields.Checked(5));
    EXPECT_TRUE(second->dbtUpdateOk.Enabled());
  });
  Do(Action::Make(Action::Select, u"rgLocation", {}, 0));
  second->ShowModal();
  EXPECT_EQ(Settings(), saved);
}

TEST_F(DialogTest, ActionsQueuedForTheRunArriveDuringIt) {
  h.Core->Server.RecordStatements = true;
  h.Import({{u"Q0AAA", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"},
            {u"Q0ZZZ", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"}});
  fs::path package = h.Package("tiny.zip");
  auto d = NewDialog();
  Do(Action::Make(Action::Select, u"rgLocation", {}, 1));
  ui_runtime::QueueChooserAnswer(Utf8ToUString(package.string()));
  Do(Action::Make(Action::Press, u"edSource"));
  Do(Action::Make(Action::Check, u"cgUseFields", {}, 5, true));
  // Queued just before Update is pressed and not idle: the run's own message processing
  // delivers them, once the run has begun.
  bool runStarted = false;
  Then([&] {
    ui_runtime::Post({[&] { runStarted = !d->mProgress.Text().empty(); }, false});
    ui_runtime::PostAction(Action::Make(Action::Check, u"cgUseFields", {}, 5, false), false);
    ui_runtime::PostAction(Action::Make(Action::Check, u"cgUseFields", {}, 1, true), false);
    ui_runtime::PostAction(Action::Make(Action::Press, u"dbtUpdateOk"), false,
                           [&](const Action&) { refused.push_back("second Update during the run"); });
  });
  Do(Action::Make(Action::Press, u"dbtUpdateOk"));
  d->ShowModal();
  EXPECT_TRUE(runStarted);
  EXPECT_EQ(refused, std::vector<std::string>{"second Update during the run"});
  const auto& sent = h.Core->Server.RecordedStatements;
  ASSERT_EQ(sent.size(), 2u);
  for (const auto& sql : sent) EXPECT_EQ(sql.find(u"QSLMANAGER"), UString::npos) << UStringToUtf8(sql);
  EXPECT_EQ(h.Row(u"Q0ZZZ")[1], O(u"Zed"));
}

TEST_F(DialogTest, EscapedErrorIsShownAndTheDialogStaysOpen) {
  WriteSettings("[Zorvik]\nLocation=Local\nName=1\n");
  fs::path damaged = h.Dir / "damaged.zip";
  TBytes zip = ReadBytes(SharedPackage("tiny-stored.zip"));
  zip.resize(zip.size() / 2);
  WriteBytes(damaged, zip);
  localFile = Utf8ToUString(damaged.string());
  auto d = NewDialog();
  Do(Action::Make(Action::Press, u"dbtUpdateOk"));
  Then([&] {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(d->Showing());
    EXPECT_FALSE(d->dbtUpdateOk.Enabled()) << "Update stays disabled after an escaped error";
    EXPECT_FALSE(ui_runtime::BusyCursor());
  });
  d->ShowModal();
  EXPECT_NE(Settings().find("Location=Local"), std::string::npos) << "an escaped error still saves on close";
}

TEST_F(DialogTest, FailedSaveShowsItsMessageAndKeepsTheDialogOpen) {
  h.Import({{u"Q0ZZZ", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"}});
  fs::path package = h.Package("tiny.zip");
  auto d = NewDialog();
  d->FIniPath = Utf8ToUString((h.Dir / "no-such-folder" / "host.ini").string());
  Do(Action::Make(Action::Select, u"rgLocation", {}, 1));
  ui_runtime::QueueChooserAnswer(Utf8ToUString(package.string()));
  Do(Action::Make(Action::Press, u"edSource"));
  Do(Action::Make(Action::Check, u"cgUseFields", {}, 1, true));
  Do(Action::Make(Action::Press, u"dbtUpdateOk"));
  Do(Action::Make(Action::Close, {}));
  Then([&] {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind(u"Cannot create file \"", 0), 0u) << UStringToUtf8(boxes[0]);
    EXPECT_TRUE(d->Showing());
  });
  Do(Action::Make(Action::Select, u"rgLocation", {}, 0));  // a source change: the close saves nothing
  d->ShowModal();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(h.Core->Windows.ModalFinishes, 1);
}

// A package fetched over loopback runs through to updated rows; the source's leading
// blank is kept for the run and dropped when read back from the settings.
TEST_F(DialogTest, InternetPackageRunsEndToEnd) {
  TTestServer server;
  ASSERT_TRUE(server.Listening());
  std::string body = ReadFile(SharedPackage("tiny.zip"));
  server.Queue({Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body)});
  UString url = u" http://127.0.0.1:" + Utf8ToUString(server.PortText()) + u"/download/other/DB.zip";
  h.Import({{u"Q0ZZZ", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"}});
  auto d = NewDialog();
  d->FInternetResource = url;
  Do(Action::Make(Action::Check, u"cgUseFields", {}, 2, true));
  Do(Action::Make(Action::Press, u"dbtUpdateOk"));
  d->ShowModal();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(h.Row(u"Q0ZZZ")[2], O(u"Zeta"));
  EXPECT_TRUE(h.DownloadFiles().empty()) << "the ~Ar file is gone";
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].rfind("GET /download/other/DB.zip HTTP/1.0\r\nHost: 127.0.0.1:", 0), 0u);

  auto again = NewDialog();
  Then([&] { EXPECT_EQ(again->edSource.Text(), url.substr(1)); });
  again->ShowModal();
}

TEST_F(DialogTest, InternetFailuresReportAndLeaveNothing) {
  TTestServer server;
  server.Queue({Send("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>gone</html>"), Close()});
  auto d = NewDialog();
  d->FInternetResource = u"http://127.0.0.1:" + Utf8ToUString(server.PortText()) + u"/DB.zip";
  Do(Action::Make(Action::Check, u"cgUseFields", {}, 1, true));
  Do(Action::Make(Action::Press, u"dbtUpdateOk"));
  Then([&] {
    EXPECT_FALSE(UpdateDone);
    EXPECT_TRUE(d->dbtUpdateOk.Enabled()) << "a failed run enables Update again";
    EXPECT_EQ(d->psInfo.Text(), u"");
  });
  d->ShowModal();
  ASSERT_EQ(h.Core->Kernel.Messages.size(), 1u);
  EXPECT_EQ(h.Core->Kernel.Messages[0].second, u"Resource open error: " + d->FInternetResource);
  EXPECT_TRUE(h.DownloadFiles().empty()) << "the empty ~Ar file is removed too";
}

}  // namespace
