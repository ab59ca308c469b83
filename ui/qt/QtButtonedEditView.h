// The Qt view of an edit with a browse button.
#pragma once

#include <QLineEdit>

#include "ui/ButtonedEdit.h"
#include "ui/qt/QtToolkit.h"

class QAction;

// Every edit a person makes goes to the object, which may refuse it: typing at the end
// is UserType, Backspace at the end UserBackspace, paste at the end UserPaste, cutting
// the whole text UserCut, and any other change UserReplaceText with the edited text. A
// refused edit leaves the shown text as the object holds it. F4 and the button press
// the object's browse button.
class TQtButtonedEditView : public QLineEdit {
 public:
  TQtButtonedEditView(TButtonedEdit& edit, QWidget* parent);

  QAction* BrowseAction() const { return browse_; }
  void Sync();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Runs a person's edit on the object; the text shown follows the object's.
  void Route(const std::function<bool()>& edit);
  void Edited(const QString& text);

  TButtonedEdit& edit_;
  qt_view::TControlLink link_;
  QAction* browse_;
  bool syncing_ = false;
  bool personEditing_ = false;
};
