// The Qt view of a push button.
#pragma once

#include <QPushButton>

#include "ui/Control.h"
#include "ui/qt/QtToolkit.h"

// Mirrors caption, enabled and visible; a click goes to TButton::Click. It never becomes
// the dialog's default by focus: Enter presses only a button whose object says Default.
class TQtButtonView : public QPushButton {
 public:
  TQtButtonView(TButton& button, QWidget* parent);

  TButton& Button() const { return button_; }
  void Sync();

 private:
  TButton& button_;
  qt_view::TControlLink link_;
};
