// The update dialog's logo: a small globe with radio waves and the name, drawn in code.
#pragma once

#include <QWidget>

class TUpdZorvikLogo : public QWidget {
 public:
  explicit TUpdZorvikLogo(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
