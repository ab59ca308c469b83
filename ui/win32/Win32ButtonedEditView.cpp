#include "ui/win32/Win32ButtonedEditView.h"

#include "platform/WinText.h"
#include "ui/Form.h"

namespace {

constexpr int kButtonWidth = 18;

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return win32_view::Guarded([&]() -> LRESULT {
    if (auto* view = dynamic_cast<TWin32ButtonedEditView*>(win32_view::HandlerOf(window))) {
      LRESULT result = 0;
      if (view->EditMessage(message, wParam, lParam, result)) return result;
    }
    return win32_view::CallOriginal(window, message, wParam, lParam);
  });
}

UString ClipboardText(HWND owner) {
  UString text;
  if (!OpenClipboard(owner)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
    if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = FromWide(p);
      GlobalUnlock(data);
    }
  CloseClipboard();
  return text;
}

}  // namespace

TWin32ButtonedEditView::TWin32ButtonedEditView(TButtonedEdit& edit, HWND parent, const RECT& bounds)
    : edit_(edit),
      window_(win32_view::CreateControl(L"EDIT", edit.Text(), WS_TABSTOP | ES_AUTOHSCROLL | WS_CLIPCHILDREN, bounds, parent,
                                        WS_EX_CLIENTEDGE)),
      button_(win32_view::CreateControl(L"BUTTON", u"...", BS_PUSHBUTTON, RECT{0, 0, kButtonWidth, 10}, window_)) {
  win32_view::SetHandler(window_, this);
  win32_view::Subclass(window_, EditProc);
  PlaceButton();
  link_.Connect(edit_, [this] { Sync(); });
  Sync();
}

void TWin32ButtonedEditView::PlaceButton() {
  RECT client;
  GetClientRect(window_, &client);
  SetWindowPos(button_, nullptr, client.right - kButtonWidth, 0, kButtonWidth, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32ButtonedEditView::Sync() {
  syncing_ = true;
  UString shown = win32_view::WindowText(window_);
  if (shown != edit_.Text()) {
    DWORD start = 0, end = 0;
    SendMessageW(window_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool atEnd = start == end && end == shown.size();
    SetWindowTextW(window_, WideText(edit_.Text()));
    // Text set by code shows from its start, as an edit control shows new text; after a
    // person's edit the caret stays where the person was typing.
    const DWORD length = DWORD(edit_.Text().size());
    DWORD caret = !personEditing_ ? 0 : atEnd ? length : std::min<DWORD>(end, length);
    SendMessageW(window_, EM_SETSEL, caret, caret);
  }
  SendMessageW(window_, EM_SETREADONLY, edit_.ReadOnly, 0);
  EnableWindow(window_, edit_.Enabled());
  ShowWindow(window_, edit_.Visible() ? SW_SHOWNA : SW_HIDE);
  ShowWindow(button_, edit_.ButtonVisible() ? SW_SHOWNA : SW_HIDE);
  EnableWindow(button_, edit_.Enabled());
  const int margin = edit_.ButtonVisible() ? kButtonWidth + 1 : 0;
  SendMessageW(window_, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, margin));
  syncing_ = false;
}

void TWin32ButtonedEditView::Route(const std::function<bool()>& edit) {
  personEditing_ = true;
  Forms::TForm::Dispatch([&] { edit(); });
  Sync();
  personEditing_ = false;
}

bool TWin32ButtonedEditView::CaretAtEnd() const {
  DWORD start = 0, end = 0;
  SendMessageW(window_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start == end && end == DWORD(GetWindowTextLengthW(window_));
}

void TWin32ButtonedEditView::Command(HWND, int code) {
  // Edits the control made itself: inside the text, Delete, undo, the context menu.
  if (code != EN_CHANGE || syncing_) return;
  UString changed = win32_view::WindowText(window_);
  Route([&] { return edit_.UserReplaceText(changed); });
}

bool TWin32ButtonedEditView::EditMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lParam) == button_ && HIWORD(wParam) == BN_CLICKED) {
        Forms::TForm::Dispatch([this] { edit_.ClickButton(); });
        return true;
      }
      return false;
    case WM_KEYDOWN:
      if (wParam == VK_F4 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0) {
        if (edit_.ButtonVisible()) Forms::TForm::Dispatch([this] { edit_.ClickButton(); });
        return true;
      }
      return false;
    case WM_CHAR: {
      const wchar_t c = static_cast<wchar_t>(wParam);
      if (!CaretAtEnd()) return false;
      if (c == L'\b') {
        Route([this] { return edit_.UserBackspace(); });
        return true;
      }
      if (c >= 0x20 && c != 0x7F) {
        UString typed(1, static_cast<char16_t>(c));
        Route([&] { return edit_.UserType(typed); });
        return true;
      }
      return false;
    }
    case WM_PASTE: {
      if (!CaretAtEnd()) return false;
      UString pasted = ClipboardText(window_);
      Route([&] { return edit_.UserPaste(pasted); });
      return true;
    }
    case WM_CUT: {
      DWORD start = 0, end = 0;
      SendMessageW(window_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      if (start != 0 || end == 0 || end != DWORD(GetWindowTextLengthW(window_))) return false;
      if (edit_.TypingAllowed && !edit_.ReadOnly && edit_.Enabled()) SendMessageW(window_, WM_COPY, 0, 0);
      Route([this] { return edit_.UserCut(); });
      return true;
    }
    case WM_SIZE:
      result = win32_view::CallOriginal(window_, message, wParam, lParam);
      PlaceButton();
      return true;
    default:
      return false;
  }
}
