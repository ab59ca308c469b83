// A multi-line text box holding one text whose lines end in CR LF.
#pragma once

#include "ui/Control.h"

class TMemo : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TMemo"; }

  bool ReadOnly = false;
  bool WordWrap = true;

  const UString& Text() const { return text_; }
  void SetText(UString text);
  void Clear() { SetText(UString()); }

  // Number of lines; a final empty line after a line break is not counted.
  int LineCount() const;
  // The first line in view.
  int TopLine() const { return topLine_; }
  // Scrolls by count lines, as the edit control's line-scroll request does.
  void LineScroll(int count);

 private:
  UString text_;
  int topLine_ = 0;
};
