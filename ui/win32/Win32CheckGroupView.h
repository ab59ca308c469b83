// The Win32 view of a check group: a captioned group box of check boxes in columns.
#pragma once

#include <vector>

#include "ui/CheckGroup.h"
#include "ui/win32/Win32Toolkit.h"

// A click asks the object (TCheckGroup::UserToggle), which refuses disabled boxes; the
// boxes always show the object's state.
class TWin32CheckGroupView : public win32_view::TWindowHandler {
 public:
  TWin32CheckGroupView(TCheckGroup& group, HWND parent, const RECT& bounds);

  HWND Box() const { return box_; }
  HWND Item(int index) const { return items_.at(std::size_t(index)); }
  void Sync();
  void Command(HWND child, int code) override;

 private:
  TCheckGroup& group_;
  std::vector<HWND> items_;
  HWND box_ = nullptr;
  win32_view::TControlLink link_;
};
