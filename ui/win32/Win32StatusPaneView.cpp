#include "ui/win32/Win32StatusPaneView.h"

#include "platform/WinText.h"

TWin32StatusPaneView::TWin32StatusPaneView(TStatusPane& pane, HWND parent, const RECT& bounds)
    : pane_(pane),
      window_(win32_view::CreateControl(L"STATIC", pane.Text(), SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX, bounds,
                                        parent, WS_EX_STATICEDGE)) {
  win32_view::SetHandler(window_, this);
  link_.Connect(pane_, [this] { Sync(); });
  Sync();
}

void TWin32StatusPaneView::Sync() {
  // A blank keeps the text off the sunken edge.
  SetWindowTextW(window_, WideText(pane_.Text().empty() ? UString() : u" " + pane_.Text()));
  ShowWindow(window_, pane_.Visible() ? SW_SHOWNA : SW_HIDE);
}
