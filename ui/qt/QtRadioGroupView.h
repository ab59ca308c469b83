// The Qt view of a radio group: a captioned box of radio buttons in columns.
#pragma once

#include <QGroupBox>
#include <vector>

#include "ui/RadioGroup.h"
#include "ui/qt/QtToolkit.h"

class QRadioButton;

// Items fill the columns top to bottom, then left to right. A click asks the object
// (TRadioGroup::UserSelect); the buttons always show the object's selection.
class TQtRadioGroupView : public QGroupBox {
 public:
  TQtRadioGroupView(TRadioGroup& group, QWidget* parent);

  QRadioButton* Item(int index) const { return items_.at(std::size_t(index)); }
  void Sync();

 private:
  TRadioGroup& group_;
  qt_view::TControlLink link_;
  std::vector<QRadioButton*> items_;
};
