// The update dialog's logo on Windows: a small globe with radio waves and the name, drawn
// with GDI like the Qt dialog's.
#pragma once

#include "ui/win32/Win32Toolkit.h"

class TUpdZorvikWin32Logo : public win32_view::TWindowHandler {
 public:
  TUpdZorvikWin32Logo(HWND parent, const RECT& bounds);
  HWND Window() const { return window_; }
  void Paint(HWND window, HDC dc, const RECT& client) override;

 private:
  HWND window_;
};
