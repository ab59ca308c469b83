#include "ui/win32/Win32FormView.h"

#include <algorithm>

#include "platform/WinText.h"
#include "ui/Control.h"
#include "ui/win32/Win32Automation.h"

namespace {

// No WS_CLIPCHILDREN: group boxes leave their inside to the form's background.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

HWND LiveWindow(THandle handle) {
  HWND w = win32_view::WindowFromHandle(handle);
  return w && IsWindow(w) ? w : nullptr;
}

// The thread's visible, enabled windows other than self.
struct TCollect {
  HWND self;
  std::vector<HWND>* list;
};
BOOL CALLBACK CollectEnabled(HWND w, LPARAM p) {
  auto* c = reinterpret_cast<TCollect*>(p);
  if (w != c->self && IsWindowVisible(w) && IsWindowEnabled(w)) c->list->push_back(w);
  return TRUE;
}

}  // namespace

TWin32FormView::TWin32FormView(Forms::TForm& form) : form_(form) {
  RECT bounds{0, 0, std::max(form_.ClientWidth, 1), std::max(form_.ClientHeight, 1)};
  AdjustWindowRectEx(&bounds, kStyle, FALSE, kExStyle);
  OffsetRect(&bounds, -bounds.left, -bounds.top);
  window_ = win32_view::CreateViewWindow(win32_view::TViewClass::Form, kExStyle, kStyle, bounds,
                                         LiveWindow(form_.OwnerHandle()));
  if (!window_) throw EOSError(u"The form's window cannot be made", GetLastError());
  win32_view::SetHandler(window_, this);
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(win32_view::DialogFont()), FALSE);
  link_.Connect(form_, [this] { Sync(); });
  Sync();
}

TWin32FormView::~TWin32FormView() {
  for (HWND w : disabled_) EnableWindow(w, TRUE);
  win32_view::RemoveHandler(window_);
  DestroyWindow(window_);
  children_.clear();
  win32_view::ReleaseUnusedClasses();
}

void TWin32FormView::Sync() {
  SetWindowTextW(window_, WideText(form_.Caption));
  // The form holds its icons and destroys the ones it is handed back; the window only
  // shows them.
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(win32_view::IconFromHandle(form_.Icon(Forms::ikSmall))));
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(win32_view::IconFromHandle(form_.Icon(Forms::ikBig))));
}

void TWin32FormView::Show() {
  HWND owner = LiveWindow(form_.OwnerHandle());
  SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  // The owner and every other window of this thread wait for the form.
  TCollect collect{window_, &disabled_};
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&collect));
  if (owner && IsWindowEnabled(owner) && std::find(disabled_.begin(), disabled_.end(), owner) == disabled_.end())
    disabled_.push_back(owner);
  for (HWND w : disabled_) EnableWindow(w, FALSE);
  Sync();
  RECT area{}, frame{};
  if (owner)
    GetWindowRect(owner, &area);
  else
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(window_, &frame);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2, 0,
               0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);
}

void TWin32FormView::Hide() {
  // The other windows come back first, so that the owner is the one activated when this
  // window goes.
  for (HWND w : disabled_) EnableWindow(w, TRUE);
  disabled_.clear();
  ShowWindow(window_, SW_HIDE);
}

void TWin32FormView::ProcessEvents(bool wait) {
  if (wait) MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  // A quit request ends the form; the request stays posted for the loop outside.
  if (!win32_view::PumpMessages()) form_.Close();
}

void TWin32FormView::ClickButton(bool cancel) {
  for (TControl* c : form_.Controls())
    if (auto* b = dynamic_cast<TButton*>(c); b && b->Visible() && (cancel ? b->Cancel : b->Default)) {
      Forms::TForm::Dispatch([b] { b->Click(); });
      return;
    }
  if (cancel) Forms::TForm::Dispatch([this] { form_.Close(); });
}

bool TWin32FormView::FormMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_CLOSE:
      // The form's loop decides; the window goes when the form has closed.
      Forms::TForm::Dispatch([this] { form_.Close(); });
      return true;
    case WM_COPYDATA: {
      // An action from another module's automation: queued for this form's loop.
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!cds || cds->dwData != win32_view::kActionCopyData) return false;
      std::optional<win32_view::TSentAction> sent = win32_view::DecodeAction(cds->lpData, cds->cbData);
      if (!sent || !form_.Showing()) return true;
      win32_view::QueueSentAction(std::move(*sent));
      result = 1;
      return true;
    }
    case WM_COMMAND:
      // The dialog keys arrive as the commands IDOK and IDCANCEL; the controls have
      // identifiers of their own.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ClickButton(LOWORD(wParam) == IDCANCEL);
        return true;
      }
      return false;
    default:
      return false;
  }
}

std::unique_ptr<Forms::TFormView> TWin32FormView::Make(Forms::TForm& form) {
  try {
    return std::make_unique<TWin32FormView>(form);
  } catch (const EOSError&) {
    return nullptr;
  }
}
