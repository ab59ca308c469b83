#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Application.h"
#include "ui/ButtonedEdit.h"
#include "ui/CheckGroup.h"
#include "ui/Form.h"
#include "ui/Memo.h"
#include "ui/UiRuntime.h"

namespace {

std::vector<std::string> g_events;

class TProbeForm : public Forms::TForm {
 public:
  TProbeForm() : TForm(u"probe") {}
  TButton Work{u"Work"};
  Forms::TCloseAction CloseAnswer = Forms::TCloseAction::caHide;
  bool RaiseOnClose = false;

 protected:
  void DoShow() override { g_events.push_back("show"); }
  void Activate() override { g_events.push_back("activate"); }
  void DoClose(Forms::TCloseAction& action) override {
    g_events.push_back("close");
    if (RaiseOnClose) throw EFCreateError(u"Cannot create file \"x.ini\"");
    action = CloseAnswer;
  }
};

class HeadlessForm : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    ui_runtime::ClearPending();
    ui_runtime::SetMessageBoxSink([](UStringView text, UStringView caption) {
      g_events.push_back("box:" + UStringToUtf8(caption) + ":" + UStringToUtf8(text));
    });
  }
  void TearDown() override {
    ui_runtime::SetMessageBoxSink(nullptr);
    ui_runtime::ClearPending();
  }
  static void Person(std::function<void()> action) { ui_runtime::Post({std::move(action), true}); }
  static void DuringWork(std::function<void()> action) { ui_runtime::Post({std::move(action), false}); }
};

TEST_F(HeadlessForm, NothingQueuedClosesAtOnce) {
  TProbeForm f;
  EXPECT_EQ(f.ShowModal(), Forms::mrCancel);
  EXPECT_EQ(g_events, (std::vector<std::string>{"show", "activate", "close"}));
  EXPECT_FALSE(f.Showing());
}

TEST_F(HeadlessForm, QueuedActionsPlayInOrderAndErrorsGoToTheBox) {
  TProbeForm f;
  f.Work.OnClick = [](TObject*) {
    g_events.push_back("work");
    throw EConvertError(u"'x' is not a valid integer value");
  };
  Person([&] { f.Work.Click(); });
  Person([&] { g_events.push_back("second"); });
  EXPECT_EQ(f.ShowModal(), Forms::mrCancel);
  EXPECT_EQ(g_events, (std::vector<std::string>{"show", "activate", "work",
                                                 "box:Error:'x' is not a valid integer value.", "second", "close"}));
}

TEST_F(HeadlessForm, CloseDuringWorkWaitsForTheWorkToReturn) {
  TProbeForm f;
  f.Work.OnClick = [&](TObject*) {
    g_events.push_back("work starts");
    DuringWork([&] { f.Close(); });
    Application().ProcessMessages();  // the close request arrives here
    g_events.push_back("work ends");
  };
  Person([&] { f.Work.Click(); });
  Person([&] { g_events.push_back("never"); });
  f.ShowModal();
  EXPECT_EQ(g_events, (std::vector<std::string>{"show", "activate", "work starts", "work ends", "close"}));
}

TEST_F(HeadlessForm, IdleActionsWaitForTheModalLoop) {
  TProbeForm f;
  f.Work.OnClick = [&](TObject*) {
    Person([] { g_events.push_back("idle"); });
    Application().ProcessMessages();
    g_events.push_back("after pump");
  };
  Person([&] { f.Work.Click(); });
  f.ShowModal();
  EXPECT_EQ(g_events, (std::vector<std::string>{"show", "activate", "after pump", "idle", "close"}));
}

TEST_F(HeadlessForm, RefusedCloseKeepsTheFormOpenUntilNothingIsLeft) {
  TProbeForm f;
  f.RaiseOnClose = true;
  Person([&] { f.Close(); });
  Person([&] { g_events.push_back("still open"); });
  EXPECT_EQ(f.ShowModal(), Forms::mrCancel);
  // A message ending in a quotation mark gets no full stop.
  EXPECT_EQ(g_events, (std::vector<std::string>{"show", "activate", "close", "box:Error:Cannot create file \"x.ini\"",
                                                 "still open", "close", "box:Error:Cannot create file \"x.ini\""}));
}

TEST(Widgets, EditRefusesPersonButNotCode) {
  TButtonedEdit e(u"ed");
  int changes = 0;
  e.OnChange = [&](TObject*) { ++changes; };
  e.SetText(u"/pkg/DB.zip");
  e.SetText(u"/pkg/DB.zip");
  EXPECT_EQ(changes, 1) << "setting the same text is no change";
  e.TypingAllowed = false;
  EXPECT_FALSE(e.UserType(u"x"));
  EXPECT_FALSE(e.UserBackspace());
  EXPECT_FALSE(e.UserPaste(u"y"));
  EXPECT_FALSE(e.UserCut());
  EXPECT_EQ(e.Text(), u"/pkg/DB.zip");
  EXPECT_FALSE(e.ClickButton()) << "no browse button shown";
  e.SetButtonVisible(true);
  bool browsed = false;
  e.OnButtonClick = [&](TObject*) { browsed = true; };
  EXPECT_TRUE(e.ClickButton());
  EXPECT_TRUE(browsed);
  e.TypingAllowed = true;
  EXPECT_TRUE(e.UserType(u"!"));
  EXPECT_EQ(changes, 2);
}

TEST(Widgets, CheckGroupBoxThatCannotBeCleared) {
  TCheckGroup g(u"cg");
  g.SetItems({u"Callsign", u"Name"});
  std::vector<int> changed;
  g.OnChange = [&](TObject*, int i) { changed.push_back(i); };
  g.SetChecked(0, true);
  g.SetItemEnabled(0, false);
  EXPECT_FALSE(g.UserToggle(0));
  EXPECT_TRUE(g.Checked(0));
  EXPECT_TRUE(g.UserToggle(1));
  EXPECT_FALSE(g.UserToggle(7));
  EXPECT_EQ(changed, (std::vector<int>{0, 1}));
}

TEST(Widgets, MemoCountsLinesAndScrolls) {
  TMemo m(u"m");
  EXPECT_EQ(m.LineCount(), 0);
  m.SetText(u"a\r\nb\r\n");
  EXPECT_EQ(m.LineCount(), 2) << "a final empty line is not counted";
  m.SetText(u"a\r\nb\r\nc");
  EXPECT_EQ(m.LineCount(), 3);
  m.LineScroll(5);
  EXPECT_EQ(m.TopLine(), 2);
  m.LineScroll(-9);
  EXPECT_EQ(m.TopLine(), 0);
}

}  // namespace

namespace {

TEST(FormIcons, TheWindowOwnsTheIconsItTook) {
  std::uint32_t first = ui_runtime::CreateIconHandle(u"small one");
  std::uint32_t second = ui_runtime::CreateIconHandle(u"small two");
  {
    TProbeForm f;
    EXPECT_EQ(f.SetIconMessage(Forms::ikSmall, first), 0u);
    EXPECT_EQ(f.SetIconMessage(Forms::ikSmall, second), first) << "the message hands back the one it held";
    EXPECT_TRUE(ui_runtime::IconExists(first)) << "the one handed back is the caller's to destroy";
    ui_runtime::DestroyIcon(first);
  }
  EXPECT_FALSE(ui_runtime::IconExists(second)) << "icons go with the window";
}

}  // namespace
