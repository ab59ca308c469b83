#include "ui/qt/QtProgressPaneView.h"

#include <QPainter>

#include <algorithm>

TQtProgressPaneView::TQtProgressPaneView(TProgressPane& pane, QWidget* parent) : QFrame(parent), pane_(pane) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  link_.Connect(pane_, [this] { Sync(); });
  Sync();
}


int TQtProgressPaneView::LitSegments() const {
  int segments = std::max(pane_.Segments, 1);
  return std::min(segments, int(pane_.Percent()) * segments / 100);
}

void TQtProgressPaneView::Sync() {
  setVisible(pane_.Visible());
  update();
}

void TQtProgressPaneView::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  const QRect area = contentsRect().adjusted(2, 2, -2, -2);
  const int segments = std::max(pane_.Segments, 1), lit = LitSegments(), gap = 1;
  // Segments share the width evenly; the remainder pixels go to the first ones.
  const int total = area.width() - gap * (segments - 1);
  int x = area.left();
  for (int i = 0; i < segments; ++i) {
    int w = total / segments + (i < total % segments ? 1 : 0);
    QRect led(x, area.top(), std::max(w, 1), area.height());
    p.fillRect(led, i < lit ? QColor(0x60, 0x60, 0x60) : QColor(0xD8, 0xD8, 0xD8));
    x += w + gap;
  }
}
