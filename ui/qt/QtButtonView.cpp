#include "ui/qt/QtButtonView.h"

#include "ui/Form.h"
#include "ui/qt/QtToolkit.h"

TQtButtonView::TQtButtonView(TButton& button, QWidget* parent) : QPushButton(parent), button_(button) {
  setAutoDefault(false);
  setFont(qt_view::DialogFont());
  connect(this, &QPushButton::clicked, this, [this] { Forms::TForm::Dispatch([this] { button_.Click(); }); });
  link_.Connect(button_, [this] { Sync(); });
  Sync();
}


void TQtButtonView::Sync() {
  setText(qt_view::ToQString(button_.Caption));
  setEnabled(button_.Enabled());
  setVisible(button_.Visible());
  setDefault(button_.Default);
}
