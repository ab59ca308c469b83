#include "ui/ButtonedEdit.h"

void TButtonedEdit::SetText(UStringView text) {
  if (text == text_) return;
  text_ = UString(text);
  Changed();
  if (OnChange) OnChange(this);
}

bool TButtonedEdit::UserReplaceText(UStringView text) {
  if (!Editable()) return false;
  SetText(text);
  return true;
}

bool TButtonedEdit::UserType(UStringView text) {
  if (!Editable()) return false;
  SetText(text_ + UString(text));
  return true;
}

bool TButtonedEdit::UserBackspace() {
  if (!Editable() || text_.empty()) return false;
  SetText(UStringView(text_).substr(0, text_.size() - 1));
  return true;
}

bool TButtonedEdit::UserPaste(UStringView text) { return UserType(text); }

bool TButtonedEdit::UserCut() {
  if (!Editable()) return false;
  SetText(u"");
  return true;
}

bool TButtonedEdit::ClickButton() {
  if (!Enabled() || !buttonVisible_) return false;
  if (OnButtonClick) OnButtonClick(this);
  return true;
}
