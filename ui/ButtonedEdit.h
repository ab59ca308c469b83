// A one-line edit with an optional browse button.
#pragma once

#include "ui/Control.h"

class TButtonedEdit : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TButtonedEdit"; }

  const UString& Text() const { return text_; }
  // Sets the text from code; raises OnChange when it actually changes.
  void SetText(UStringView text);

  bool ReadOnly = false;
  // False refuses every edit by a person: typed characters, Delete, Backspace, paste
  // and cut. Code can still set the text.
  bool TypingAllowed = true;
  bool ButtonVisible() const { return buttonVisible_; }
  void SetButtonVisible(bool visible) {
    buttonVisible_ = visible;
    Changed();
  }

  TNotifyEvent OnChange;
  TNotifyEvent OnButtonClick;

  // A person's edits; each returns whether the edit was taken.
  bool UserReplaceText(UStringView text);  // select all and type
  bool UserType(UStringView text);         // typed at the end
  bool UserBackspace();
  bool UserPaste(UStringView text);
  bool UserCut();
  // The browse button, or F4 while the button is shown.
  bool ClickButton();

 private:
  bool Editable() const { return Enabled() && !ReadOnly && TypingAllowed; }
  UString text_;
  bool buttonVisible_ = false;
};
