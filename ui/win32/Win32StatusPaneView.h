// The Win32 view of a status pane: a sunken text field of a status bar.
#pragma once

#include "ui/Control.h"
#include "ui/win32/Win32Toolkit.h"

class TWin32StatusPaneView : public win32_view::TWindowHandler {
 public:
  TWin32StatusPaneView(TStatusPane& pane, HWND parent, const RECT& bounds);

  HWND Window() const { return window_; }
  void Sync();

 private:
  TStatusPane& pane_;
  HWND window_;
  win32_view::TControlLink link_;
};
