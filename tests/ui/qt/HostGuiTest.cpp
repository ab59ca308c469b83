#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "host/HostGui.h"
#include "host/HostGuiCallbookModel.h"
#include "host/HostGuiWindow.h"
#include "host/ModuleLoader.h"
#include "platform/OleAuto.h"
#include "tests/zip/ZipTestFiles.h"
#include "ui/UiRuntime.h"
#include "ui/qt/QtFileChooser.h"
#include "ui/qt/QtToolkit.h"

namespace {

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

  TTempDir dir;
  std::unique_ptr<THostCore> core;
  std::unique_ptr<THostGuiWindow> window;
  std::unique_ptr<TModuleLoader> loader;
  std::vector<std::string> boxes;
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
