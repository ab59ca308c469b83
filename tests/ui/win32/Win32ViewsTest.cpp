// The Win32 views under Wine (or Windows): real windows for the toolkit's widgets, driven
// with the window messages a person's input produces.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "Plugins/UpdZorvik/win32/UpdZorvikWin32View.h"
#include "platform/WinText.h"
#include "tests/ui/win32/Win32TestHost.h"
#include "ui/Application.h"
#include "ui/UiRuntime.h"
#include "ui/win32/Win32ButtonView.h"
#include "ui/win32/Win32Automation.h"
#include "ui/win32/Win32ButtonedEditView.h"
#include "ui/win32/Win32CheckGroupView.h"
#include "ui/win32/Win32FileChooser.h"
#include "ui/win32/Win32FormView.h"
#include "ui/win32/Win32MemoView.h"
#include "ui/win32/Win32ProgressPaneView.h"
#include "ui/win32/Win32RadioGroupView.h"
#include "ui/win32/Win32StatusPaneView.h"

namespace {

namespace fs = std::filesystem;

// A plug-in form with an Update button (the default one) and a Close button (the cancel
// one).
class TProbeForm : public TForm {
 public:
  explicit TProbeForm(ICore* core) : TForm(core, u"frmProbe") {
    Caption = u"Probe";
    ClientWidth = 240;
    ClientHeight = 120;
    btnUpdate.Caption = u"Update";
    btnUpdate.Default = true;
    btnClose.Caption = u"Close";
    btnClose.Cancel = true;
    btnUpdate.OnClick = [this](TObject*) {
      ++updates;
      if (onUpdate) onUpdate();
    };
    btnClose.OnClick = [this](TObject*) { Close(); };
    RegisterControl(btnUpdate);
    RegisterControl(btnClose);
  }
  TButton btnUpdate{u"btnUpdate"};
  TButton btnClose{u"btnClose"};
  int updates = 0;
  std::function<void()> onUpdate;
  bool refuseClose = false;

 protected:
  void DoClose(Forms::TCloseAction& action) override {
    if (refuseClose) action = Forms::TCloseAction::caNone;
  }
};

fs::path FreshFolder() {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path p = fs::temp_directory_path() / ("zorvik-win32-" + std::to_string(stamp));
  fs::create_directories(p);
  return p;
}

// What the person does once the form waits: steps run in order inside the modal loop.
void Person(std::function<void()> step) { ui_runtime::Post({std::move(step), true}); }

class Win32Views : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 640, 480, nullptr, nullptr,
                            nullptr, nullptr);
    if (!owner) GTEST_SKIP() << "no window can be made here: run under X (xvfb-run) or Wine's null graphics driver";
    Application().SetHandle(win32_view::HandleFromWindow(owner));
    ui_runtime::ClearPending();
    ui_runtime::SetMessageBoxSink([this](UStringView text, UStringView) { boxes.push_back(UStringToUtf8(text)); });
    Forms::FormViewFactory() = [this](Forms::TForm& f) -> std::unique_ptr<Forms::TFormView> {
      if (auto* d = dynamic_cast<TfrmUpdZorvik*>(&f)) {
        auto v = std::make_unique<TUpdZorvikWin32View>(*d);
        dialogView = v.get();
        view = v.get();
        return v;
      }
      auto v = std::make_unique<TWin32FormView>(f);
      if (auto* probe = dynamic_cast<TProbeForm*>(&f)) {
        updateView = v->Add<TWin32ButtonView>(probe->btnUpdate, v->Window(), RECT{150, 10, 230, 35});
        closeView = v->Add<TWin32ButtonView>(probe->btnClose, v->Window(), RECT{150, 40, 230, 65});
      }
      view = v.get();
      return v;
    };
  }
  void TearDown() override {
    Forms::FormViewFactory() = nullptr;
    ui_runtime::SetMessageBoxSink(nullptr);
    ui_runtime::SetChooserHook(nullptr);
    ui_runtime::SetBusyCursor(false);
    ui_runtime::ClearPending();
    Application().SetHandle(0);
    if (owner) DestroyWindow(owner);
    core.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  // Shows form modally; a last resort ends the loop so that a broken step cannot hang.
  int ShowModal(TForm& form) {
    static TForm* running;
    running = &form;
    UINT_PTR guard = SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      ADD_FAILURE() << "the modal loop did not end";
      if (auto* p = dynamic_cast<TProbeForm*>(running)) p->refuseClose = false;
      running->Close();
    });
    int result = form.ShowModal();
    KillTimer(nullptr, guard);
    return result;
  }

  // A key pressed and released on the window with the focus, through the thread's queue.
  static void Key(UINT key) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    win32_view::PumpMessages();
  }

  fs::path dir = FreshFolder();
  std::unique_ptr<TWin32TestCore> core = std::make_unique<TWin32TestCore>(dir);
  HWND owner = nullptr;
  TWin32FormView* view = nullptr;
  TUpdZorvikWin32View* dialogView = nullptr;
  TWin32ButtonView* updateView = nullptr;
  TWin32ButtonView* closeView = nullptr;
  std::vector<std::string> boxes;
};

TEST_F(Win32Views, ModalWindowIsOwnedByTheHostAndDisablesItUntilItEnds) {
  TProbeForm form(core.get());
  bool checked = false;
  // Another window of the thread, such as a form below this one, waits too.
  HWND other = CreateWindowExW(0, L"STATIC", L"Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
  Person([&] {
    EXPECT_FALSE(IsWindowEnabled(other));
    HWND w = view->Window();
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetWindow(w, GW_OWNER), owner);
    EXPECT_FALSE(IsWindowEnabled(owner)) << "the owner must be disabled while the form is modal";
    EXPECT_EQ(win32_view::WindowText(w), u"Probe");
    RECT client, frame, area;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, 120);
    GetWindowRect(w, &frame);
    GetWindowRect(owner, &area);
    EXPECT_LE(std::abs((frame.left + frame.right) - (area.left + area.right)), 2) << "centred on the owner";
    EXPECT_LE(std::abs((frame.top + frame.bottom) - (area.top + area.bottom)), 2);
    EXPECT_EQ(core->Windows.ModalStarts, 1);
    EXPECT_EQ(core->Windows.ModalFinishes, 0);
    // Enter presses the default button, Esc the cancel one, through the dialog keys.
    SetFocus(closeView->Window());
    Key(VK_RETURN);
    EXPECT_EQ(form.updates, 1);
    checked = true;
    Key(VK_ESCAPE);
  });
  EXPECT_EQ(ShowModal(form), Forms::mrCancel);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner must come back when the form ends";
  EXPECT_TRUE(IsWindowEnabled(other));
  DestroyWindow(other);
  EXPECT_EQ(core->Windows.ModalFinishes, 1);
}

TEST_F(Win32Views, TitleBarCloseAsksTheFormWhichMayRefuse) {
  TProbeForm form(core.get());
  form.refuseClose = true;
  HWND shown = nullptr;
  Person([&] {
    shown = view->Window();
    SendMessageW(shown, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  Person([&] {
    EXPECT_TRUE(form.Showing());
    EXPECT_TRUE(IsWindowVisible(shown));
    EXPECT_FALSE(IsWindowEnabled(owner));
    form.refuseClose = false;
    SendMessageW(shown, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(ShowModal(form), Forms::mrCancel);
  EXPECT_FALSE(IsWindow(shown)) << "the window goes with the modal show";
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(Win32Views, WindowTakesTheHostIconsAndReplacedOnesAreDestroyed) {
  TProbeForm form(core.get());
  std::uint32_t firstSmall = 0, firstLarge = 0;
  Person([&] {
    firstSmall = form.Icon(Forms::ikSmall);
    firstLarge = form.Icon(Forms::ikBig);
    HWND w = view->Window();
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, ICON_SMALL, 0)), win32_view::IconFromHandle(firstSmall));
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(w, WM_GETICON, ICON_BIG, 0)), win32_view::IconFromHandle(firstLarge));
    // The large icon is the host's picture, pixel for pixel.
    ui_runtime::IconImage shown = ui_runtime::GetIconImage(firstLarge), host = THostIcons::Picture(32);
    ASSERT_EQ(shown.Width, 32);
    for (std::size_t i : {0u, 8u * 32 + 8, 16u * 32 + 16, 16u * 32})
      EXPECT_EQ(shown.Pixels[i], host.Pixels[i]) << "pixel " << i;
    form.Close();
  });
  ShowModal(form);
  ASSERT_TRUE(ui_runtime::IconExists(firstSmall));
  // A second show takes new icons; the first ones are destroyed as they are replaced.
  Person([&] { form.Close(); });
  ShowModal(form);
  EXPECT_FALSE(ui_runtime::IconExists(firstSmall));
  EXPECT_FALSE(ui_runtime::IconExists(firstLarge));
  EXPECT_TRUE(ui_runtime::IconExists(form.Icon(Forms::ikBig)));
}

TEST_F(Win32Views, ErrorsEscapingWindowProceduresReachTheErrorBox) {
  TProbeForm form(core.get());
  int thrown = 0;
  form.onUpdate = [&] {
    ++thrown;
    if (thrown == 1) throw EConvertError(u"'x' is not a valid integer value");
    throw std::runtime_error("disk on fire");
  };
  Person([&] {
    SendMessageW(updateView->Window(), BM_CLICK, 0, 0);
    SendMessageW(updateView->Window(), BM_CLICK, 0, 0);
    EXPECT_TRUE(form.Showing()) << "an error must not end the loop";
    form.Close();
  });
  ShowModal(form);
  EXPECT_EQ(thrown, 2);
  EXPECT_EQ(boxes, (std::vector<std::string>{"'x' is not a valid integer value.", "disk on fire."}));
}

// Another module's automation reaches the form through its window, and the loop plays the
// actions in order as it plays its own.
TEST_F(Win32Views, ActionsSentToTheWindowArePlayedByTheLoop) {
  TProbeForm form(core.get());
  using A = ui_runtime::Action;
  // The sender's window hears the reports: a watched caption, a refused action.
  static std::vector<std::string> reports;
  reports.clear();
  HWND reply = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(reply);
  SetWindowLongPtrW(reply, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m != WM_COPYDATA) return DefWindowProcW(w, m, wp, lp);
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    auto report = win32_view::DecodeReport(cds->lpData, cds->cbData);
    if (!report) return 0;
    reports.push_back((cds->dwData == win32_view::kWatchedCopyData ? "watched " : "refused ") +
                      UStringToUtf8(report->control) + "=" + UStringToUtf8(report->text));
    return 1;
  }));
  Person([&] {
    HWND w = view->Window();
    EXPECT_FALSE(win32_view::SendAction(w, A::Make(A::Watch, u"btnUpdate"))) << "a watch needs a reply window";
    EXPECT_TRUE(win32_view::SendAction(w, A::Make(A::Watch, u"btnUpdate"), true, reply));
    EXPECT_TRUE(win32_view::SendAction(w, A::Make(A::Press, u"btnUpdate")));
    EXPECT_TRUE(win32_view::SendAction(w, A::Make(A::Press, u"btnUpdate")));
    EXPECT_EQ(form.updates, 0) << "sent actions are queued, not run inside the send";
    EXPECT_TRUE(win32_view::SendAction(w, A::Make(A::Press, u"btnUpdate"), true, reply));
    EXPECT_TRUE(win32_view::SendAction(w, A::Make(A::Close, u"")));
  });
  // The second press disables the button, so the third is refused.
  form.onUpdate = [&] {
    if (form.updates == 2) form.btnUpdate.SetEnabled(false);
  };
  EXPECT_EQ(ShowModal(form), Forms::mrCancel);
  DestroyWindow(reply);
  EXPECT_EQ(form.updates, 2);
  EXPECT_EQ(reports, (std::vector<std::string>{"watched btnUpdate=", "watched btnUpdate=", "refused btnUpdate="}));

  // Malformed bytes are refused whole.
  A typed = A::Make(A::Type, u"edSource", u"http://x", 3, false);
  std::vector<std::uint8_t> bytes = win32_view::EncodeAction(typed, false, 0x1234);
  std::optional<win32_view::TSentAction> back = win32_view::DecodeAction(bytes.data(), bytes.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->reply, 0x1234u);
  EXPECT_EQ(back->action.kind, A::Type);
  EXPECT_EQ(back->action.control, u"edSource");
  EXPECT_EQ(back->action.text, u"http://x");
  EXPECT_EQ(back->action.index, 3);
  EXPECT_FALSE(back->action.checked);
  EXPECT_FALSE(back->idleOnly);
  for (std::size_t cut : {std::size_t(0), std::size_t(15), bytes.size() - 1})
    EXPECT_FALSE(win32_view::DecodeAction(bytes.data(), cut)) << "cut at " << cut;
  std::vector<std::uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(win32_view::DecodeAction(longer.data(), longer.size())) << "trailing bytes";
  std::vector<std::uint8_t> huge = bytes;
  huge[20] = 0xFF, huge[21] = 0xFF, huge[22] = 0xFF, huge[23] = 0x7F;  // the name's count
  EXPECT_FALSE(win32_view::DecodeAction(huge.data(), huge.size()));
  std::vector<std::uint8_t> watch = win32_view::EncodeAction(A::Make(A::Watch, u"x"), true, 0);
  EXPECT_FALSE(win32_view::DecodeAction(watch.data(), watch.size())) << "a watch with nowhere to report";
  bytes[0] = 99;  // no such kind
  EXPECT_FALSE(win32_view::DecodeAction(bytes.data(), bytes.size()));
}

// The update dialog in its Win32 window: every control mirrors its object, and a
// person's clicks and keys reach the objects through their own methods.
TEST_F(Win32Views, DialogControlsMirrorTheirObjectsBothWays) {
  const fs::path package = dir / "DB.zip";
  std::ofstream(package) << "PK";
  TfrmUpdZorvik d(core.get());
  d.FIniPath = (dir / "settings.ini").u16string();
  d.FSection = u"Zorvik";
  d.FLocation = slInternet;
  d.FInternetResource = u"http://127.0.0.1/DB.zip";
  d.FLocalFile = u"C:\\nowhere\\DB.zip";
  ui_runtime::SetChooserHook([&](const ui_runtime::ChooserRequest&) { return std::optional<UString>(package.u16string()); });
  Person([&] {
    TUpdZorvikWin32View& v = *dialogView;
    HWND edit = v.Source->Window();
    // Object to window.
    EXPECT_EQ(win32_view::WindowText(edit), u"http://127.0.0.1/DB.zip");
    EXPECT_EQ(SendMessageW(v.Location->Item(0), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(v.UseFields->Item(0), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(v.UseFields->Item(0))) << "Callsign cannot be cleared";
    EXPECT_FALSE(IsWindowVisible(v.Source->BrowseButton()));
    EXPECT_FALSE(IsWindowEnabled(v.UpdateButton->Window())) << "only Callsign is checked";

    // Window to object: check boxes.
    SendMessageW(v.UseFields->Item(0), BM_CLICK, 0, 0);
    EXPECT_TRUE(d.cgUseFields.Checked(0));
    SendMessageW(v.UseFields->Item(2), BM_CLICK, 0, 0);
    EXPECT_TRUE(d.cgUseFields.Checked(2));
    EXPECT_EQ(SendMessageW(v.UseFields->Item(2), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(v.UpdateButton->Window()));

    // Typing at the end, Backspace, and an edit inside the text.
    SendMessageW(edit, EM_SETSEL, 1000, 1000);
    SendMessageW(edit, WM_CHAR, L'x', 1);
    EXPECT_EQ(d.edSource.Text(), u"http://127.0.0.1/DB.zipx");
    SendMessageW(edit, WM_CHAR, L'\b', 1);
    EXPECT_EQ(d.edSource.Text(), u"http://127.0.0.1/DB.zip");
    SendMessageW(edit, EM_SETSEL, 4, 4);
    SendMessageW(edit, WM_CHAR, L's', 1);
    EXPECT_EQ(d.edSource.Text(), u"https://127.0.0.1/DB.zip");

    // The local file: typing is refused, the browse button and F4 choose the file.
    SendMessageW(v.Location->Item(1), BM_CLICK, 0, 0);
    EXPECT_EQ(d.rgLocation.ItemIndex(), 1);
    EXPECT_EQ(SendMessageW(v.Location->Item(0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowVisible(v.Source->BrowseButton()));
    EXPECT_EQ(win32_view::WindowText(edit), u"C:\\nowhere\\DB.zip");
    SendMessageW(edit, EM_SETSEL, 1000, 1000);
    SendMessageW(edit, WM_CHAR, L'x', 1);
    SendMessageW(edit, EM_SETSEL, 0, 0);
    SendMessageW(edit, WM_CHAR, L'y', 1);
    EXPECT_EQ(d.edSource.Text(), u"C:\\nowhere\\DB.zip");
    EXPECT_EQ(win32_view::WindowText(edit), u"C:\\nowhere\\DB.zip") << "a refused edit must not stay on screen";
    SendMessageW(v.Source->BrowseButton(), BM_CLICK, 0, 0);
    EXPECT_EQ(d.edSource.Text(), package.u16string());
    EXPECT_EQ(win32_view::WindowText(edit), package.u16string());
    EXPECT_TRUE(IsWindowEnabled(v.UpdateButton->Window()));

    // Status panes and the log follow their objects.
    d.psInfo.SetText(u"Ready");
    EXPECT_EQ(win32_view::WindowText(v.Info->Window()), u" Ready");
    d.MsgProgress(0, u"* Use: x", true);
    d.MsgProgress(1, u"Processing ", false);
    EXPECT_EQ(win32_view::WindowText(v.Progress->Window()), u"* Use: x\r\n   Processing ");
    SendMessageW(v.CloseButton->Window(), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(ShowModal(d), Forms::mrCancel);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(Win32Views, DialogOpeningOnTheLocalFileShowsTheBrowseButton) {
  TfrmUpdZorvik d(core.get());
  d.FIniPath = (dir / "settings.ini").u16string();
  d.FSection = u"Zorvik";
  d.FLocation = slLocal;
  d.FLocalFile = u"C:\\nowhere\\DB.zip";
  Person([&] {
    EXPECT_TRUE(d.edSource.ButtonVisible());
    EXPECT_TRUE(IsWindowVisible(dialogView->Source->BrowseButton()));
    d.Close();
  });
  ShowModal(d);
}

// Controls made on a plain parent window, outside any modal loop.
class Win32Controls : public Win32Views {
 protected:
  void SetUp() override {
    Win32Views::SetUp();
    if (!owner) return;
    // A window of the forms' class, which hands its controls' notifications to their views.
    parent = win32_view::CreateViewWindow(win32_view::TViewClass::Form, 0, WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, 300}, owner);
  }
  HWND parent = nullptr;
};

TEST_F(Win32Controls, LedPaneLightsWholeSegmentsForThePercentage) {
  TProgressPane pane(u"psProgress");
  TWin32ProgressPaneView v(pane, parent, RECT{0, 0, 150, 19});
  RECT client;
  GetClientRect(v.Window(), &client);
  // The segments fill the inside evenly, in order, without overlapping.
  EXPECT_EQ(v.Segment(0).left, 2);
  EXPECT_EQ(v.Segment(19).right, client.right - 2);
  for (int i = 1; i < 20; ++i) EXPECT_EQ(v.Segment(i).left, v.Segment(i - 1).right + 1) << i;

  // Painted into a bitmap, each segment's centre shows its state.
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  struct Case {
    int percent, lit;
  } cases[] = {{0, 0}, {4, 0}, {5, 1}, {50, 10}, {99, 19}, {100, 20}, {250, 20}};
  for (const Case& c : cases) {
    pane.SetPercent(std::uint16_t(c.percent));
    EXPECT_EQ(v.LitSegments(), c.lit) << c.percent << "%";
    SendMessageW(v.Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    for (int i = 0; i < 20; ++i) {
      RECT s = v.Segment(i);
      COLORREF want = i < c.lit ? TWin32ProgressPaneView::kLit : TWin32ProgressPaneView::kUnlit;
      EXPECT_EQ(GetPixel(dc, (s.left + s.right) / 2, (s.top + s.bottom) / 2), want) << c.percent << "% segment " << i;
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

TEST_F(Win32Controls, LogScrollsToItsTopLineAndFollowsThePersonsScrolling) {
  TMemo memo(u"mProgress");
  memo.ReadOnly = true;
  memo.WordWrap = false;
  TWin32MemoView v(memo, parent, RECT{0, 0, 200, 80});
  // More than the edit's default limit of 32K characters; the last lines arrive one by
  // one, as the log grows.
  UString text;
  const UString filler(80, u'.');
  for (int i = 0; i < 420; ++i) {
    text += u"line " + IntToStr(i) + filler + u"\r\n";
    if (i >= 417) memo.SetText(text);
  }
  memo.SetText(text + u"last");
  EXPECT_EQ(win32_view::WindowText(v.Window()), text + u"last") << "the log must be shown whole";
  memo.LineScroll(memo.LineCount() - 1);
  const int lines = int(SendMessageW(v.Window(), EM_GETLINECOUNT, 0, 0));
  EXPECT_EQ(lines, 421);
  EXPECT_GT(v.FirstVisibleLine(), 410) << "the last line must be in view";
  EXPECT_EQ(memo.TopLine(), 420);
  memo.LineScroll(-memo.TopLine());
  EXPECT_EQ(v.FirstVisibleLine(), 0);
  // The person scrolls: the object's top line follows.
  SendMessageW(v.Window(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_GT(v.FirstVisibleLine(), 0);
  EXPECT_EQ(memo.TopLine(), v.FirstVisibleLine());
  // Line breaks of any kind show as lines.
  memo.SetText(u"a\rb\nc");
  EXPECT_EQ(win32_view::WindowText(v.Window()), u"a\r\nb\r\nc");
}

TEST_F(Win32Controls, PendingMessagesArriveDuringWorkWithTheWaitCursor) {
  TButton button(u"btn");
  int clicks = 0;
  button.OnClick = [&](TObject*) { ++clicks; };
  TWin32ButtonView v(button, parent, RECT{0, 0, 80, 25});
  win32_view::Install();
  ui_runtime::SetMessageBoxSink([this](UStringView text, UStringView) { boxes.push_back(UStringToUtf8(text)); });
  PostMessageW(v.Window(), BM_CLICK, 0, 0);
  ui_runtime::SetBusyCursor(true);
  Application().ProcessMessages();
  EXPECT_EQ(clicks, 1) << "a click queued during work arrives when pending messages are processed";
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  ui_runtime::SetBusyCursor(false);
  Application().ProcessMessages();
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  // Disabled, the button takes no click.
  button.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(v.Window()));
  SendMessageW(v.Window(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
}

TEST(Win32FileChooser, FilterListPairsDescriptionsWithPatterns) {
  using namespace std::string_literals;
  struct Case {
    const char16_t* filter;
    std::u16string list;
  } cases[] = {
      {u"Archive files|*.zip", u"Archive files\0*.zip\0\0"s},
      {u"Archives|*.zip;*.ZIP|All|*.*", u"Archives\0*.zip;*.ZIP\0All\0*.*\0\0"s},
      {u"Archives|*.zip|dangling", u"Archives\0*.zip\0\0"s},
      {u"", u"\0"s},
  };
  for (const Case& c : cases) EXPECT_EQ(win32_view::ChooserFilterList(c.filter), c.list) << UStringToUtf8(c.filter);
}

// The system's open dialog and message box, answered by a timer of this thread while they
// run their own loops.
TEST_F(Win32Controls, SystemDialogsShowTheRequestAndGiveTheAnswer) {
  const fs::path package = dir / "DB.zip";
  std::ofstream(package) << "PK";
  static UString typed, boxText;
  static bool found;
  typed = package.u16string();
  found = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM out) {
          wchar_t name[16] = {};
          GetClassNameW(w, name, 16);
          if (std::wstring(name) != L"#32770" || !IsWindowVisible(w)) return TRUE;
          *reinterpret_cast<HWND*>(out) = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    found = true;
    if (HWND box = GetDlgItem(dialog, 0xFFFF)) {
      // A message box: its text is read, then it is answered.
      boxText = win32_view::WindowText(box);
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      return;
    }
    // The open dialog: the file name box takes the path.
    SetDlgItemTextW(dialog, 0x47C, WideText(typed));
    SetDlgItemTextW(dialog, 0x480, WideText(typed));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  ui_runtime::ChooserRequest request{u"Select updates...", u"Archive files|*.zip", dir.u16string(), u"DB", u".zip", 1};
  std::optional<UString> chosen = win32_view::RunOpenDialog(request);
  ASSERT_TRUE(found) << "no dialog was shown";
  ASSERT_TRUE(chosen.has_value()) << UStringToUtf8(boxText);
  EXPECT_EQ(ExtractFileName(*chosen), u"DB.zip");

  win32_view::ShowMessageBox(u"Resource open error: x.", u"Error");
  KillTimer(nullptr, timer);
  EXPECT_EQ(boxText, u"Resource open error: x.");
}

}  // namespace
