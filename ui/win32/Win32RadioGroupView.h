// The Win32 view of a radio group: a captioned group box of radio buttons in columns.
#pragma once

#include <vector>

#include "ui/RadioGroup.h"
#include "ui/win32/Win32Toolkit.h"

// Items fill the columns top to bottom, then left to right. A click asks the object
// (TRadioGroup::UserSelect); the buttons always show the object's selection.
class TWin32RadioGroupView : public win32_view::TWindowHandler {
 public:
  TWin32RadioGroupView(TRadioGroup& group, HWND parent, const RECT& bounds);

  HWND Box() const { return box_; }
  HWND Item(int index) const { return items_.at(std::size_t(index)); }
  void Sync();
  void Command(HWND child, int code) override;

 private:
  TRadioGroup& group_;
  std::vector<HWND> items_;
  HWND box_ = nullptr;
  win32_view::TControlLink link_;
};
