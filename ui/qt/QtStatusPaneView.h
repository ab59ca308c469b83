// The Qt view of a status pane: a sunken text field of a status bar.
#pragma once

#include <QLabel>

#include "ui/Control.h"
#include "ui/qt/QtToolkit.h"

class TQtStatusPaneView : public QLabel {
 public:
  TQtStatusPaneView(TStatusPane& pane, QWidget* parent);
  void Sync();

 private:
  TStatusPane& pane_;
  qt_view::TControlLink link_;
};
