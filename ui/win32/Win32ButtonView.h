// The Win32 view of a push button.
#pragma once

#include "ui/Control.h"
#include "ui/win32/Win32Toolkit.h"

// Mirrors caption, enabled, visible and the default frame; a click goes to TButton::Click.
class TWin32ButtonView : public win32_view::TWindowHandler {
 public:
  TWin32ButtonView(TButton& button, HWND parent, const RECT& bounds);

  HWND Window() const { return window_; }
  TButton& Button() const { return button_; }
  void Sync();
  void Command(HWND child, int code) override;

 private:
  TButton& button_;
  HWND window_;
  win32_view::TControlLink link_;
};
