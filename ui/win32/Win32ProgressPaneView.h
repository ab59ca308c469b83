// The Win32 view of a progress pane: an LED-style bar of grey segments lit by percentage,
// drawn by the view itself.
#pragma once

#include "ui/Control.h"
#include "ui/win32/Win32Toolkit.h"

class TWin32ProgressPaneView : public win32_view::TWindowHandler {
 public:
  TWin32ProgressPaneView(TProgressPane& pane, HWND parent, const RECT& bounds);

  HWND Window() const { return window_; }
  // Segments lit for the pane's percentage: whole segments only, all of them at 100 %.
  int LitSegments() const;
  // Segment index's area in the window's client area; segments share the width evenly
  // inside the sunken edge, the remainder pixels going to the first ones.
  RECT Segment(int index) const;
  static constexpr COLORREF kLit = RGB(0x60, 0x60, 0x60);
  static constexpr COLORREF kUnlit = RGB(0xD8, 0xD8, 0xD8);

  void Sync();
  void Paint(HWND window, HDC dc, const RECT& client) override;

 private:
  TProgressPane& pane_;
  HWND window_;
  win32_view::TControlLink link_;
};
