#include "ui/win32/Win32ButtonView.h"

#include "platform/WinText.h"
#include "ui/Form.h"

TWin32ButtonView::TWin32ButtonView(TButton& button, HWND parent, const RECT& bounds)
    : button_(button),
      window_(win32_view::CreateControl(L"BUTTON", button.Caption, WS_TABSTOP | BS_PUSHBUTTON, bounds, parent)) {
  win32_view::SetHandler(window_, this);
  link_.Connect(button_, [this] { Sync(); });
  Sync();
}

void TWin32ButtonView::Sync() {
  SetWindowTextW(window_, WideText(button_.Caption));
  EnableWindow(window_, button_.Enabled());
  ShowWindow(window_, button_.Visible() ? SW_SHOWNA : SW_HIDE);
  SendMessageW(window_, BM_SETSTYLE, button_.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TWin32ButtonView::Command(HWND, int code) {
  if (code == BN_CLICKED) Forms::TForm::Dispatch([this] { button_.Click(); });
}
