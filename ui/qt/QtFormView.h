// The Qt view of a form: a fixed-size dialog window over its owner.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

#include "ui/Form.h"
#include "ui/qt/QtToolkit.h"

class TQtButtonView;

// The window of a form while its modal loop runs. It takes the form's caption, client
// size and icons, shows modally centred on the owner window (the window that stands for
// the form's owner handle, else the screen), and hands a person's closing to the form:
// the title-bar close asks TForm::Close, Esc clicks the visible cancel button (or asks
// TForm::Close when there is none), Enter clicks the visible default button and does
// nothing else. Its children are laid out by whoever makes the view.
class TQtFormView : public Forms::TFormView {
 public:
  explicit TQtFormView(Forms::TForm& form);
  ~TQtFormView() override;

  // The window; its whole area is the form's client area.
  QDialog* Window() const { return window_.data(); }
  Forms::TForm& Form() const { return form_; }

  void Show() override;
  void Hide() override;
  void ProcessEvents(bool wait) override;

  // The form's caption and icons, shown again.
  void Sync();

  // A view for any form when a QApplication exists, else null (the form runs headless).
  static std::unique_ptr<Forms::TFormView> Make(Forms::TForm& form);

 private:
  Forms::TForm& form_;
  QPointer<QDialog> window_;
  qt_view::TControlLink link_;
};
