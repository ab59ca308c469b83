// The Win32 view of a multi-line text box.
#pragma once

#include "ui/Memo.h"
#include "ui/win32/Win32Toolkit.h"

// A multi-line edit showing the object's text with CR LF line breaks, scrolled with
// EM_LINESCROLL so that the object's top line is the first in view as far as the edit
// lets it. Text that only grows is appended, not reset. A read-only memo has the white
// background of an edit. A person's scrolling moves the object's top line along
// (TMemo::LineScroll); a person's typing in a memo that is not read-only sets its text.
class TWin32MemoView : public win32_view::TWindowHandler {
 public:
  TWin32MemoView(TMemo& memo, HWND parent, const RECT& bounds);

  HWND Window() const { return window_; }
  // The first line in view.
  int FirstVisibleLine() const;
  void Sync();
  void Command(HWND child, int code) override;
  HBRUSH ControlColor(HWND child, HDC dc) override;
  // A person scrolled the edit: the object follows.
  void Scrolled();

 private:
  TMemo& memo_;
  HWND window_;
  win32_view::TControlLink link_;
  UString shown_;
  bool syncing_ = false;
};
