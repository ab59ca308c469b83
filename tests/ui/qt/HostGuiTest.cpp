#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "host/CallbookFile.h"
#include "host/HostGui.h"
#include "host/HostGuiCallbookModel.h"
#include "host/HostGuiChangesModel.h"
#include "host/HostGuiPreview.h"
#include "host/HostGuiWindow.h"
#include "host/ModuleLoader.h"
#include "platform/OleAuto.h"
#include "tests/zip/ZipTestFiles.h"
#include "ui/UiRuntime.h"
#include "ui/qt/QtFileChooser.h"
#include "ui/qt/QtToolkit.h"

namespace {

// The preview's counts line, its spaces that do not break as plain ones.
QString CountsText(const THostGuiPreview& preview) {
  return preview.Counts()->text().replace(QChar(0x00A0), QLatin1Char(' '));
}

// The host's window on a real host with the real module loaded into it.
class HostGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qt_view::InstallEventPump();
    ui_runtime::SetMessageBoxSink([this](UStringView text, UStringView) { boxes.push_back(UStringToUtf8(text)); });
    core = std::make_unique<THostCore>(Utf8ToUString((dir / "data").string()));
    core->Kernel.EchoLog = false;
    window = std::make_unique<THostGuiWindow>(*core);
    loader = std::make_unique<TModuleLoader>(Utf8ToUString(ZORVIK_BIN_DIR "/UpdZorvik.ext"), &core->Menus);
    ASSERT_EQ(loader->Start(core.get()), S_OK);
    window->RebuildMenu();
    window->show();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    window.reset();
    if (loader) loader->Unload(true);
    ui_runtime::SetMessageBoxSink(nullptr);
    ui_runtime::SetEventPump(nullptr);
  }

  // The sample callbook in the data folder, shown in the window, and a copy of the sample
  // package of this test's own: the module opens a package exclusively, so tests running
  // at the same time in other processes must not share one.
  void ImportSample() {
    ImportCallbookFile(Db(), Utf8ToUString(ZORVIK_BIN_DIR "/examples/sample-callbook.tsv"));
    std::filesystem::copy_file(ZORVIK_BIN_DIR "/examples/sample-package.zip", dir / "sample-package.zip");
    window->Poll(true);
  }
  // Queues what a person does in the module's dialog: the sample package as a local
  // file, the given field boxes (1 Name .. 5 QSL via) ticked and the others not, Update,
  // Close.
  void QueueRun(std::initializer_list<int> boxes) {
    using A = ui_runtime::Action;
    auto refused = [this](const A& a) { refusedActions.push_back(UStringToUtf8(a.control)); };
    ui_runtime::PostAction(A::Make(A::Select, u"rgLocation", {}, 1), true, refused);
    ui_runtime::QueueChooserAnswer(Utf8ToUString((dir / "sample-package.zip").string()));
    ui_runtime::PostAction(A::Make(A::Press, u"edSource"), true, refused);
    for (int i = 1; i <= 5; ++i)
      ui_runtime::PostAction(A::Make(A::Check, u"cgUseFields", {}, i, std::find(boxes.begin(), boxes.end(), i) != boxes.end()),
                             true, refused);
    ui_runtime::PostAction(A::Make(A::Press, u"dbtUpdateOk"), true, refused);
    ui_runtime::PostAction(A::Make(A::Close, {}), true, refused);
  }
  void ClickPluginItem() { window->PluginMenu()->actions().front()->trigger(); }
  // Accepts the next message box over the window and returns its text.
  void AnswerNextBox(QString& text) {
    QTimer::singleShot(0, [&text] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        text = box->text();
        box->accept();
      }
    });
  }

  TCallbookDb& Db() { return core->Server.Db(); }
  // The whole callbook as TSV, in callsign order.
  std::string Export() {
    TCallbookSelect all;
    all.OrderByCall = true;
    std::ostringstream out;
    ExportCallbookTsv(*Db().Select(all), out);
    return out.str();
  }
  // The bytes of the callbook's file and of its write-ahead log, if any.
  std::string StoreBytes() {
    std::string bytes;
    for (const char* suffix : {"", "-wal"}) {
      std::ifstream in(dir / ("data/" + UStringToUtf8(TCallbookDb::FileName) + suffix), std::ios::binary);
      bytes += std::string(std::istreambuf_iterator<char>(in), {}) + "|";
    }
    return bytes;
  }
  std::string LogFile() {
    std::ifstream in(UStringToUtf8(core->Kernel.LogPath()), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The window's table cell of the row with this callsign.
  QString Shown(const UString& call, int column) {
    THostGuiCallbookModel* m = window->Callbook();
    for (int r = 0; r < m->rowCount(); ++r)
      if (m->data(m->index(r, 0), Qt::DisplayRole).toString() == qt_view::ToQString(call))
        return m->data(m->index(r, column), Qt::DisplayRole).toString();
    return QStringLiteral("(no such row)");
  }
  std::string LogView() { return window->Log()->toPlainText().toStdString(); }

  TTempDir dir;
  std::unique_ptr<THostCore> core;
  std::unique_ptr<THostGuiWindow> window;
  std::unique_ptr<TModuleLoader> loader;
  std::vector<std::string> boxes;
  std::vector<std::string> refusedActions;
};

TEST_F(HostGuiTest, MenuItemOpensTheModuleDialogModallyOverTheWindow) {
  THandle handle = 0;
  ASSERT_EQ(core->Windows.GetApplicationHandle(&handle), S_OK);
  EXPECT_EQ(handle, THostGuiWindow::Handle);
  QList<QAction*> actions = window->PluginMenu()->actions();
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions.front()->text(), "Update Callbook with Zorvik data");

  bool seen = false;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    seen = true;
    EXPECT_EQ(dialog->parentWidget(), window.get());
    EXPECT_EQ(dialog->windowTitle(), "Update Callbook with Zorvik data");
    EXPECT_EQ(dialog->size(), QSize(394, 290));
    EXPECT_FALSE(dialog->windowIcon().isNull());
    EXPECT_EQ(core->Windows.ModalStarts, 1);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  actions.front()->trigger();
  EXPECT_TRUE(seen);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(core->Windows.ModalFinishes, 1);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(HostGuiTest, CallbookReloadsWhenThePluginSetsRefresh) {
  EXPECT_EQ(window->Callbook()->rowCount(), 0);
  core->Server.Db().Insert([n = 0](TCallbookRow& row) mutable {
    if (n++ == 2) return false;
    row = {n == 1 ? u"Q0AAA" : u"Q0BBB", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"};
    return true;
  });
  window->Poll();
  EXPECT_EQ(window->Callbook()->rowCount(), 0);  // nothing asked for a refresh yet

  ASSERT_EQ(core->Kernel.SetValue(BStr(u"REFRESH").Get(), BStr(u"YES").Get()), S_OK);
  window->Poll();
  ASSERT_EQ(window->Callbook()->rowCount(), 2);
  EXPECT_EQ(window->Callbook()->data(window->Callbook()->index(1, 0), Qt::DisplayRole).toString(), "Q0BBB");
  // Taken: a second run's "YES" is seen again.
  EXPECT_EQ(core->Kernel.Value(u"REFRESH"), u"");
}

TEST_F(HostGuiTest, PluginMessagesShowInAMessageBoxAndTheLogInTheWindow) {
  QString shown;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->windowTitle() + "|" + box->text();
      box->accept();
    }
  });
  ASSERT_EQ(core->Kernel.ReportMessage(BStr(u"Callbook updated").Get(), BStr(u"UpdZorvik").Get()), S_OK);
  EXPECT_EQ(shown, "UpdZorvik|Callbook updated");

  core->Kernel.Log(u"a line for the window");
  window->Poll();
  EXPECT_TRUE(window->Log()->toPlainText().endsWith("  a line for the window"));
}

TEST_F(HostGuiTest, PreviewLeavesTheFileAloneAndShowsExactlyWhatTheJournaledRunThenChanges) {
  ImportSample();
  Db().Commit();
  const std::string before = Export(), stored = StoreBytes();

  // Both commands are off while the preview's dialog is open.
  bool checked = false;
  QTimer::singleShot(0, [&] {
    checked = true;
    EXPECT_TRUE(window->Running());
    EXPECT_FALSE(window->PreviewAction()->isEnabled());
    EXPECT_FALSE(window->UndoAction()->isEnabled());
    // The window's watch leaves "REFRESH" to the run, whose success it tells.
    ASSERT_EQ(core->Kernel.SetValue(BStr(u"REFRESH").Get(), BStr(u"YES").Get()), S_OK);
    window->Poll();
    EXPECT_EQ(core->Kernel.Value(u"REFRESH"), u"YES");
  });
  QueueRun({1, 2, 3, 4, 5});
  EXPECT_EQ(window->PreviewAction()->text(), QString::fromUtf8("Preview update\u2026"));
  window->PreviewAction()->trigger();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(window->PreviewAction()->isEnabled());
  EXPECT_TRUE(window->UndoAction()->isEnabled());
  ASSERT_TRUE(refusedActions.empty()) << refusedActions.front();
  ASSERT_TRUE(boxes.empty()) << boxes.front();
  EXPECT_EQ(StoreBytes(), stored);
  EXPECT_EQ(Export(), before);
  EXPECT_TRUE(Db().Runs().empty());
  EXPECT_NE(LogView().find("Update preview (rolled back, the callbook is unchanged): "), std::string::npos) << LogView();

  ASSERT_NE(window->Preview(), nullptr);
  const std::vector<TValueChange> previewed = window->Preview()->Model()->Changes();
  ASSERT_FALSE(previewed.empty());
  TColumnCounts counts{}, otherwise{};
  for (const TValueChange& c : previewed) {
    ++counts[c.Column];
    if (!FillsOrLengthens(c.Column, c.Old, c.New)) ++otherwise[c.Column];
  }
  EXPECT_TRUE(CountsText(*window->Preview()).startsWith(QString::fromStdString(ColumnCountLines(counts, otherwise).front())))
      << CountsText(*window->Preview()).toStdString();
  EXPECT_TRUE(CountsText(*window->Preview()).contains(
      QStringLiteral("%1 values in total").arg(previewed.size())));

  // The same choices for real, through the plug-in's menu: a journaled run whose
  // changes are exactly those the preview showed.
  QueueRun({1, 2, 3, 4, 5});
  ClickPluginItem();
  ASSERT_TRUE(boxes.empty()) << boxes.front();
  const std::vector<TJournalRun> runs = Db().Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs.front().Result, u"succeeded");
  // The journal holds the source and fields the person chose in the dialog.
  EXPECT_TRUE(runs.front().Source.ends_with(u"sample-package.zip")) << UStringToUtf8(runs.front().Source);
  EXPECT_EQ(runs.front().Fields, u"name,qth,grid,state,qsl");
  EXPECT_EQ(Db().Changes(runs.front().Number), previewed);
  EXPECT_NE(Export(), before);

  const std::string logged = "Update run " + std::to_string(runs.front().Number) + " (journal): " +
                             GroupDigits(runs.front().Statements) + " statements, " +
                             GroupDigits(runs.front().RowsChanged) + " rows changed; " + ColumnCountLines(counts, otherwise).front();
  EXPECT_NE(LogView().find(logged), std::string::npos) << LogView();
  EXPECT_NE(LogFile().find(logged), std::string::npos) << LogFile();
  // The choices the dialog stored on closing name the run's source and fields.
  EXPECT_NE(LogFile().find("sample-package.zip, fields name,qth,grid,state,qsl"), std::string::npos) << LogFile();
}

TEST_F(HostGuiTest, UndoRestoresTheWholeCallbookAndLeavesARowEditedSinceAlone) {
  ImportSample();
  const std::string before = Export();
  QueueRun({1, 2});
  ClickPluginItem();
  ASSERT_TRUE(boxes.empty()) << boxes.front();
  const std::string updated = Export();
  ASSERT_NE(updated, before);
  const std::int64_t run = Db().Runs().front().Number;

  window->UndoAction()->trigger();
  EXPECT_EQ(Export(), before);
  const std::string undone = "Undo run " + std::to_string(run + 1) + " took back run " + std::to_string(run) + ": ";
  EXPECT_NE(LogView().find(undone), std::string::npos) << LogView();
  EXPECT_NE(LogFile().find(" conflicts\n"), std::string::npos) << LogFile();
  // The window's table was read again.
  const TValueChange first = Db().Changes(run).front();
  EXPECT_EQ(Shown(*first.Call, first.Column), qt_view::ToQString(first.Old.value_or(u"")));

  // Run again, then someone edits one of the changed rows before the undo.
  QueueRun({1, 2});
  ClickPluginItem();
  ASSERT_TRUE(boxes.empty()) << boxes.front();
  const std::int64_t second = Db().Runs().front().Number;
  const std::vector<TValueChange> changes = Db().Changes(second);
  ASSERT_FALSE(changes.empty());
  const TValueChange edited = changes.front();
  ASSERT_TRUE(edited.Call);
  TCallbookUpdate edit;
  edit.Columns = {edited.Column};
  edit.Values = {TCallbookValue{false, false, u"Edited by hand"}};
  edit.Call = *edited.Call;
  ASSERT_EQ(Db().Exec(edit), 1);
  const std::string handEdited = Export();

  window->UndoAction()->trigger();
  EXPECT_TRUE(boxes.empty());
  const std::string conflict = "  Left alone: " + UStringToUtf8(*edited.Call) + ", " +
                               UStringToUtf8(CallbookColumnName(edited.Column)) + ": expected \"" +
                               UStringToUtf8(edited.New.value_or(u"")) + "\", found \"Edited by hand\"";
  EXPECT_NE(LogFile().find(", 1 conflict\n"), std::string::npos) << LogFile();
  EXPECT_NE(LogFile().find(conflict), std::string::npos) << LogFile();
  // That row keeps the hand's value and the run's others; every other row is as before.
  std::istringstream now(Export()), was(before), edited2(handEdited);
  for (std::string a, b, c; std::getline(now, a) && std::getline(was, b) && std::getline(edited2, c);) {
    if (a.rfind(UStringToUtf8(*edited.Call) + "\t", 0) == 0)
      EXPECT_EQ(a, c);
    else
      EXPECT_EQ(a, b);
  }
}

TEST_F(HostGuiTest, UndoWithNothingToTakeBackSaysSoInABoxAndTheLog) {
  QString shown;
  AnswerNextBox(shown);
  window->UndoAction()->trigger();
  EXPECT_EQ(shown, "The journal holds no update run to undo.");
  EXPECT_NE(LogFile().find("Undo failed: The journal holds no update run to undo."), std::string::npos) << LogFile();
  EXPECT_TRUE(window->UndoAction()->isEnabled());
}

TEST_F(HostGuiTest, ARunGivenUpInTheDialogIsJournaledAsFailedAndAPreviewOfItShowsNothing) {
  ImportSample();
  const std::string before = Export();
  // A "REFRESH" left from before the click does not count for the run.
  ASSERT_EQ(core->Kernel.SetValue(BStr(u"REFRESH").Get(), BStr(u"YES").Get()), S_OK);
  ui_runtime::PostAction(ui_runtime::Action::Make(ui_runtime::Action::Close, {}));
  ClickPluginItem();
  ASSERT_EQ(Db().Runs().size(), 1u);
  EXPECT_EQ(Db().Runs().front().Result, u"failed");
  EXPECT_NE(LogView().find("Update run 1 (journal): 0 statements, 0 rows changed; Name filled or lengthened: 0"),
            std::string::npos)
      << LogView();
  EXPECT_NE(LogView().find("; failed"), std::string::npos) << LogView();

  ui_runtime::PostAction(ui_runtime::Action::Make(ui_runtime::Action::Close, {}));
  window->PreviewAction()->trigger();
  EXPECT_EQ(window->Preview(), nullptr);
  EXPECT_EQ(Export(), before);
}

TEST(QtFileChooser, FiltersBecomeQtFilters) {
  const struct {
    const char16_t* filter;
    int index;
    const char* filters;
    const char* selected;
  } cases[] = {
      {u"Archive files|*.zip", 1, "Archive files (*.zip)", "Archive files (*.zip)"},
      {u"Archives|*.zip;*.ZIP|All|*", 2, "Archives (*.zip *.ZIP);;All (*)", "All (*)"},
      {u"Archive files|*.zip", 3, "Archive files (*.zip)", ""},
      {u"", 1, "", ""},
      {u"Dangling", 1, "", ""},
  };
  for (auto c : cases) {
    QString selected;
    EXPECT_EQ(qt_view::ChooserFilters(c.filter, c.index, &selected), c.filters);
    EXPECT_EQ(selected, c.selected);
  }
}

}  // namespace

namespace {

TEST(HostGuiCommand, IsRecognisedAfterOptionsButNotAsAnotherCommandsArgument) {
  using V = std::vector<std::string>;
  EXPECT_TRUE(IsHostGuiCommand(V{"gui"}));
  EXPECT_TRUE(IsHostGuiCommand(V{"--data", "gui", "gui"}));  // a data folder named gui
  EXPECT_TRUE(IsHostGuiCommand(V{"--module", "/m/UpdZorvik.ext", "gui", "--screenshot", "x.png"}));
  EXPECT_FALSE(IsHostGuiCommand(V{"--data", "gui"}));
  EXPECT_FALSE(IsHostGuiCommand(V{"callbook", "show", "gui"}));
  EXPECT_FALSE(IsHostGuiCommand(V{}));
}

}  // namespace
