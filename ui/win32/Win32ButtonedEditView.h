// The Win32 view of an edit with a browse button.
#pragma once

#include "ui/ButtonedEdit.h"
#include "ui/win32/Win32Toolkit.h"

// Every edit a person makes goes to the object, which may refuse it: a character typed
// at the end is UserType, Backspace at the end UserBackspace, a paste at the end
// UserPaste, cutting the whole text UserCut, and any other change (editing inside the
// text, Delete, undo) UserReplaceText with the edited text. A refused edit leaves the
// shown text as the object holds it. F4 and the "..." button inside the edit press the
// object's browse button.
class TWin32ButtonedEditView : public win32_view::TWindowHandler {
 public:
  TWin32ButtonedEditView(TButtonedEdit& edit, HWND parent, const RECT& bounds);

  HWND Window() const { return window_; }
  HWND BrowseButton() const { return button_; }
  void Sync();
  void Command(HWND child, int code) override;
  // A message of the edit window; true when it was handled here.
  bool EditMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  // Runs a person's edit on the object; the text shown follows the object's.
  void Route(const std::function<bool()>& edit);
  bool CaretAtEnd() const;
  void PlaceButton();

  TButtonedEdit& edit_;
  HWND window_;
  HWND button_;
  win32_view::TControlLink link_;
  bool syncing_ = false;
  bool personEditing_ = false;
};
