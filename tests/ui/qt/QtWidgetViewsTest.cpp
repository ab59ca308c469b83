#include <gtest/gtest.h>

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "ui/UiRuntime.h"
#include "ui/qt/QtButtonView.h"
#include "ui/qt/QtButtonedEditView.h"
#include "ui/qt/QtCheckGroupView.h"
#include "ui/qt/QtMemoView.h"
#include "ui/qt/QtProgressPaneView.h"
#include "ui/qt/QtRadioGroupView.h"
#include "ui/qt/QtStatusPaneView.h"
#include "ui/qt/QtToolkit.h"

namespace {

using qt_view::FromQString;
using qt_view::ToQString;

// Views live in a shown top-level window, as they do in a dialog; errors that escape a
// handler are collected instead of shown.
class QtWidgetViews : public ::testing::Test {
 protected:
  void SetUp() override {
    ui_runtime::SetMessageBoxSink([this](UStringView text, UStringView) { boxes.push_back(UStringToUtf8(text)); });
  }
  void TearDown() override { ui_runtime::SetMessageBoxSink(nullptr); }
  // Shows the window that holds w, with w focused.
  static void Show(QWidget* w) {
    QWidget* window = w->window();
    window->resize(400, 300);
    window->show();
    w->setFocus();
    QApplication::setActiveWindow(window);
  }

  std::vector<std::string> boxes;
};

TEST_F(QtWidgetViews, ButtonShowsObjectStateAndAClickReachesIt) {
  TButton button(u"b");
  button.Caption = u"Update";
  int clicks = 0;
  button.OnClick = [&](TObject*) { ++clicks; };
  QWidget window;  // after the object: views let go of it first
  auto* view = new TQtButtonView(button, &window);
  Show(view);
  EXPECT_EQ(view->text(), "Update");
  QTest::mouseClick(view, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);

  button.SetEnabled(false);
  EXPECT_FALSE(view->isEnabled());
  QTest::mouseClick(view, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  button.SetEnabled(true);
  button.SetVisible(false);
  EXPECT_TRUE(view->isHidden());

  // An error escaping the click goes to the error box, not out of Qt's event handling.
  button.SetVisible(true);
  button.OnClick = [](TObject*) { throw EFOpenError(u"Cannot open file x"); };
  QTest::mouseClick(view, Qt::LeftButton);
  EXPECT_EQ(boxes, std::vector<std::string>{"Cannot open file x."});
}

// One kind of edit a person makes, and what the text is when the edit is taken.
struct TEditCase {
  const char* name;
  std::function<void(TQtButtonedEditView*)> act;
  const char16_t* whenTaken;
};

class QtEditView : public QtWidgetViews, public ::testing::WithParamInterface<bool> {};

TEST_P(QtEditView, EveryEditGoesThroughTheObjectAndRefusedOnesLeaveNoTrace) {
  const bool typingAllowed = GetParam();
  const std::vector<TEditCase> cases = {
      {"typed at the end", [](auto* v) { QTest::keyClicks(v, "xy"); }, u"abcxy"},
      {"typed inside", [](auto* v) { v->setCursorPosition(1); QTest::keyClicks(v, "Z"); }, u"aZbc"},
      {"backspace at the end", [](auto* v) { QTest::keyClick(v, Qt::Key_Backspace); }, u"ab"},
      {"delete at the start", [](auto* v) { v->setCursorPosition(0); QTest::keyClick(v, Qt::Key_Delete); }, u"bc"},
      {"paste at the end",
       [](auto* v) {
         QApplication::clipboard()->setText("PP");
         QTest::keySequence(v, QKeySequence::Paste);
       },
       u"abcPP"},
      {"paste over a selection",
       [](auto* v) {
         QApplication::clipboard()->setText("Q");
         v->setSelection(0, 1);
         QTest::keySequence(v, QKeySequence::Paste);
       },
       u"Qbc"},
      {"cut everything", [](auto* v) { v->selectAll(); QTest::keySequence(v, QKeySequence::Cut); }, u""},
      {"cut a part", [](auto* v) { v->setSelection(1, 2); QTest::keySequence(v, QKeySequence::Cut); }, u"a"},
  };
  for (const TEditCase& c : cases) {
    SCOPED_TRACE(c.name);
    TButtonedEdit edit(u"ed");
    edit.SetText(u"abc");
    edit.TypingAllowed = typingAllowed;
    int changes = 0;
    edit.OnChange = [&](TObject*) { ++changes; };
    QWidget window;  // after the object: views let go of it first
    auto view = std::make_unique<TQtButtonedEditView>(edit, &window);
    Show(view.get());
    view->setCursorPosition(3);
    c.act(view.get());
    const UString expected = typingAllowed ? UString(c.whenTaken) : UString(u"abc");
    EXPECT_EQ(UStringToUtf8(edit.Text()), UStringToUtf8(expected));
    EXPECT_EQ(FromQString(view->text()), expected);
    EXPECT_EQ(changes > 0, typingAllowed);
  }
}

INSTANTIATE_TEST_SUITE_P(TypingAllowedOrNot, QtEditView, ::testing::Bool());

TEST_F(QtWidgetViews, EditFollowsCodeAndF4PressesTheBrowseButtonOnlyWhileShown) {
  TButtonedEdit edit(u"ed");
  int browses = 0;
  edit.OnButtonClick = [&](TObject*) { ++browses; };
  QWidget window;  // after the object: views let go of it first
  auto* view = new TQtButtonedEditView(edit, &window);
  Show(view);
  edit.SetText(u" http://example/x.zip");
  EXPECT_EQ(view->text(), " http://example/x.zip");
  EXPECT_EQ(view->cursorPosition(), 0);  // shown from its start
  EXPECT_FALSE(view->BrowseAction()->isVisible());
  QTest::keyClick(view, Qt::Key_F4);
  EXPECT_EQ(browses, 0);

  edit.SetButtonVisible(true);
  EXPECT_TRUE(view->BrowseAction()->isVisible());
  QTest::keyClick(view, Qt::Key_F4);
  view->BrowseAction()->trigger();
  EXPECT_EQ(browses, 2);

  edit.ReadOnly = true;
  edit.SetText(u"");
  EXPECT_TRUE(view->isReadOnly());
}

TEST_F(QtWidgetViews, RadioGroupAsksTheObjectBeforeAChoiceShows) {
  TRadioGroup group(u"rg");
  group.Caption = u" Source location ";
  group.Columns = 2;
  group.Items = {u"Internet resource", u"Local data file"};
  bool allow = false;
  std::vector<int> asked;
  group.OnChanging = [&](TObject*, int index, bool& ok) {
    asked.push_back(index);
    ok = allow;
  };
  QWidget window;  // after the object: views let go of it first
  auto* view = new TQtRadioGroupView(group, &window);
  view->resize(280, 40);
  Show(view);
  EXPECT_EQ(view->title(), " Source location ");
  EXPECT_FALSE(view->Item(0)->isChecked());
  EXPECT_FALSE(view->Item(1)->isChecked());
  // Two columns side by side.
  EXPECT_LT(view->Item(0)->x(), view->Item(1)->x());

  QTest::mouseClick(view->Item(1), Qt::LeftButton);
  EXPECT_EQ(asked, std::vector<int>{1});
  EXPECT_FALSE(view->Item(1)->isChecked());
  EXPECT_EQ(group.ItemIndex(), -1);

  allow = true;
  QTest::mouseClick(view->Item(1), Qt::LeftButton);
  EXPECT_TRUE(view->Item(1)->isChecked());
  EXPECT_EQ(group.ItemIndex(), 1);

  group.SetItemIndex(0);
  EXPECT_TRUE(view->Item(0)->isChecked());
  EXPECT_FALSE(view->Item(1)->isChecked());
}

TEST_F(QtWidgetViews, CheckGroupTogglesThroughTheObjectInColumns) {
  TCheckGroup group(u"cg");
  group.Columns = 3;
  group.SetItems({u"Callsign", u"Name", u"QTH", u"Grid Locator", u"State", u"QSL via"});
  std::vector<int> changed;
  group.OnChange = [&](TObject*, int index) { changed.push_back(index); };
  group.SetChecked(0, true);
  group.SetItemEnabled(0, false);
  QWidget window;  // after the object: views let go of it first
  auto* view = new TQtCheckGroupView(group, &window);
  view->resize(280, 58);
  Show(view);
  // Columns fill top to bottom: Callsign over Name, QTH beside Callsign.
  EXPECT_EQ(view->Item(0)->x(), view->Item(1)->x());
  EXPECT_LT(view->Item(0)->y(), view->Item(1)->y());
  EXPECT_EQ(view->Item(0)->y(), view->Item(2)->y());
  EXPECT_LT(view->Item(0)->x(), view->Item(2)->x());
  EXPECT_LT(view->Item(2)->x(), view->Item(4)->x());

  EXPECT_TRUE(view->Item(0)->isChecked());
  EXPECT_FALSE(view->Item(0)->isEnabled());
  QTest::mouseClick(view->Item(2), Qt::LeftButton);
  EXPECT_TRUE(group.Checked(2));
  EXPECT_TRUE(view->Item(2)->isChecked());
  QTest::mouseClick(view->Item(2), Qt::LeftButton);
  EXPECT_FALSE(group.Checked(2));
  EXPECT_EQ(changed, (std::vector<int>{0, 2, 2}));

  // A refused toggle (the whole group disabled) leaves the box as the object has it.
  group.SetEnabled(false);
  view->Item(3)->click();
  EXPECT_FALSE(group.Checked(3));
  EXPECT_FALSE(view->Item(3)->isChecked());
}

TEST_F(QtWidgetViews, LedPaneLightsWholeSegmentsByPercentage) {
  TProgressPane pane(u"psProgress");
  QWidget window;  // after the object: views let go of it first
  auto* view = new TQtProgressPaneView(pane, &window);
  view->resize(150, 19);
  Show(view);
  const struct {
    std::uint16_t percent;
    int lit;
  } cases[] = {{0, 0}, {4, 0}, {5, 1}, {9, 1}, {50, 10}, {99, 19}, {100, 20}, {250, 20}};
  for (auto c : cases) {
    SCOPED_TRACE(c.percent);
    pane.SetPercent(c.percent);
    EXPECT_EQ(view->LitSegments(), c.lit);
    // Count the dark segments in what is painted, along the middle row.
    QImage picture = view->grab().toImage();
    int painted = 0;
    bool inLit = false;
    for (int x = 0; x < picture.width(); ++x) {
      bool dark = qGray(picture.pixel(x, picture.height() / 2)) < 0x80;
      if (dark && !inLit) ++painted;
      inLit = dark;
    }
    EXPECT_EQ(painted, c.lit);
  }
}

TEST_F(QtWidgetViews, LogStaysScrolledToItsEndAsItGrows) {
  TMemo memo(u"mProgress");
  memo.ReadOnly = true;
  memo.WordWrap = false;
  QWidget window;  // after the object: views let go of it first
  auto* view = new TQtMemoView(memo, &window);
  view->resize(270, 90);
  Show(view);
  EXPECT_TRUE(view->isReadOnly());
  EXPECT_EQ(view->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  // The way a run writes its log: append a line, then scroll its last line to the top.
  for (int i = 0; i < 60; ++i) {
    memo.SetText(memo.Text() + u"   line " + IntToStr(i) + u"\r\n");
    memo.LineScroll(memo.LineCount() - 1);
  }
  QScrollBar* bar = view->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(view->document()->blockCount(), 61);  // 60 lines and the empty one after the last break
  EXPECT_EQ(view->document()->findBlockByNumber(59).text(), "   line 59");

  memo.Clear();
  EXPECT_TRUE(view->toPlainText().isEmpty());
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(QtWidgetViews, StatusPaneShowsItsText) {
  TStatusPane pane(u"psInfo");
  QWidget window;  // after the object: views let go of it first
  auto* view = new TQtStatusPaneView(pane, &window);
  pane.SetText(u"Ready");
  EXPECT_EQ(view->text(), "Ready");
}

}  // namespace
