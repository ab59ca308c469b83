#include "ui/qt/QtStatusPaneView.h"

#include "ui/qt/QtToolkit.h"

TQtStatusPaneView::TQtStatusPaneView(TStatusPane& pane, QWidget* parent) : QLabel(parent), pane_(pane) {
  setFont(qt_view::DialogFont());
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setIndent(2);
  link_.Connect(pane_, [this] { Sync(); });
  Sync();
}


void TQtStatusPaneView::Sync() {
  setText(qt_view::ToQString(pane_.Text()));
  setVisible(pane_.Visible());
}
