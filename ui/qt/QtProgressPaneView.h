// The Qt view of a progress pane: an LED-style bar of grey segments lit by percentage.
#pragma once

#include <QFrame>

#include "ui/Control.h"
#include "ui/qt/QtToolkit.h"

class TQtProgressPaneView : public QFrame {
 public:
  TQtProgressPaneView(TProgressPane& pane, QWidget* parent);

  // Segments lit for the pane's percentage: whole segments only, all of them at 100 %.
  int LitSegments() const;
  void Sync();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TProgressPane& pane_;
  qt_view::TControlLink link_;
};
