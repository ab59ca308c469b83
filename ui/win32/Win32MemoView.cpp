#include "ui/win32/Win32MemoView.h"

#include "platform/WinText.h"
#include "ui/Form.h"

namespace {

LRESULT CALLBACK MemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return win32_view::Guarded([&]() -> LRESULT {
    LRESULT result = win32_view::CallOriginal(window, message, wParam, lParam);
    if (message == WM_VSCROLL || message == WM_MOUSEWHEEL || message == WM_KEYDOWN)
      if (auto* view = dynamic_cast<TWin32MemoView*>(win32_view::HandlerOf(window))) view->Scrolled();
    return result;
  });
}

}  // namespace

TWin32MemoView::TWin32MemoView(TMemo& memo, HWND parent, const RECT& bounds)
    : memo_(memo),
      window_(win32_view::CreateControl(
          L"EDIT", {}, WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL |
                           (memo.WordWrap ? 0 : WS_HSCROLL | ES_AUTOHSCROLL),
          bounds, parent, WS_EX_CLIENTEDGE)) {
  // The log grows past the edit's default limit of 32K characters.
  SendMessageW(window_, EM_SETLIMITTEXT, 0, 0);
  win32_view::SetHandler(window_, this);
  win32_view::Subclass(window_, MemoProc);
  link_.Connect(memo_, [this] { Sync(); });
  Sync();
}

int TWin32MemoView::FirstVisibleLine() const { return int(SendMessageW(window_, EM_GETFIRSTVISIBLELINE, 0, 0)); }

void TWin32MemoView::Sync() {
  syncing_ = true;
  SendMessageW(window_, EM_SETREADONLY, memo_.ReadOnly, 0);
  EnableWindow(window_, memo_.Enabled());
  ShowWindow(window_, memo_.Visible() ? SW_SHOWNA : SW_HIDE);
  const UString& text = memo_.Text();
  if (text != shown_) {
    // A text that grows behind a complete line break is appended; a cut CR LF would
    // otherwise split.
    bool grows = !shown_.empty() && text.size() > shown_.size() && shown_.back() != u'\r' &&
                 UStringView(text).substr(0, shown_.size()) == shown_;
    if (grows) {
      UString added = win32_view::CrLfLines(UStringView(text).substr(shown_.size()));
      const LRESULT end = GetWindowTextLengthW(window_);
      SendMessageW(window_, EM_SETSEL, end, end);
      SendMessageW(window_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(WideText(added)));
    } else {
      SetWindowTextW(window_, WideText(win32_view::CrLfLines(text)));
    }
    shown_ = text;
  }
  const int first = FirstVisibleLine();
  if (first != memo_.TopLine()) SendMessageW(window_, EM_LINESCROLL, 0, memo_.TopLine() - first);
  syncing_ = false;
}

void TWin32MemoView::Scrolled() {
  if (syncing_) return;
  const int first = FirstVisibleLine();
  if (first != memo_.TopLine()) memo_.LineScroll(first - memo_.TopLine());
}

void TWin32MemoView::Command(HWND, int code) {
  if (code != EN_CHANGE || syncing_ || memo_.ReadOnly) return;
  UString text = win32_view::WindowText(window_);
  shown_ = text;
  Forms::TForm::Dispatch([&] { memo_.SetText(text); });
}

HBRUSH TWin32MemoView::ControlColor(HWND, HDC dc) {
  if (!memo_.ReadOnly || !memo_.Enabled()) return nullptr;
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return GetSysColorBrush(COLOR_WINDOW);
}
