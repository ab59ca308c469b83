#include "Plugins/UpdZorvik/qt/UpdZorvikLogo.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/qt/QtToolkit.h"

TUpdZorvikLogo::TUpdZorvikLogo(QWidget* parent) : QWidget(parent) {}

void TUpdZorvikLogo::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor blue(0x1F, 0x5F, 0xAF), light(0xD6, 0xE6, 0xF7);
  // The picture is 87 x 66 and sits centred in whatever room the widget has.
  const QPointF origin((width() - 87) / 2.0, (height() - 66) / 2.0);
  p.translate(origin);

  // The globe: a disc with a meridian and two parallels.
  const QPointF centre(43.5, 24);
  const double r = 18;
  p.setPen(QPen(blue, 1.5));
  p.setBrush(light);
  p.drawEllipse(centre, r, r);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, r * 0.45, r);
  p.drawLine(QPointF(centre.x() - r, centre.y()), QPointF(centre.x() + r, centre.y()));
  for (double dy : {-r * 0.5, r * 0.5}) {
    double half = std::sqrt(r * r - dy * dy);
    p.drawLine(QPointF(centre.x() - half, centre.y() + dy), QPointF(centre.x() + half, centre.y() + dy));
  }
  // Radio waves on both sides.
  p.setPen(QPen(QColor(0xE0, 0x70, 0x20), 1.6, Qt::SolidLine, Qt::RoundCap));
  for (double k : {1.25, 1.5}) {
    QRectF arc(centre.x() - r * k, centre.y() - r * k, 2 * r * k, 2 * r * k);
    p.drawArc(arc, -35 * 16, 70 * 16);
    p.drawArc(arc, 145 * 16, 70 * 16);
  }
  // The name.
  QFont font = qt_view::DialogFont(true);
  font.setPixelSize(12);
  p.setFont(font);
  p.setPen(blue);
  p.drawText(QRectF(0, 46, 87, 18), Qt::AlignCenter, QStringLiteral("Zorvik"));
}
