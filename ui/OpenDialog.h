// The file-open dialog: asks the person for an existing file.
#pragma once

#include "ui/Control.h"

class TOpenDialog : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TOpenDialog"; }

  UString Title;
  UString Filter;  // "Description|pattern" pairs, separated by "|"
  int FilterIndex = 1;
  UString InitialDir;
  UString DefaultExt;
  // Before Execute: the name to preset. After a confirmed Execute: the chosen path.
  UString FileName;

  // Shows the chooser; true when the person confirmed a file.
  bool Execute();
};
