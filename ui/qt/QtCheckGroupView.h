// The Qt view of a check group: a captioned box of check boxes in columns.
#pragma once

#include <QGroupBox>
#include <vector>

#include "ui/CheckGroup.h"
#include "ui/qt/QtToolkit.h"

class QCheckBox;

// A click asks the object (TCheckGroup::UserToggle), which refuses disabled boxes; the
// boxes always show the object's state.
class TQtCheckGroupView : public QGroupBox {
 public:
  TQtCheckGroupView(TCheckGroup& group, QWidget* parent);

  QCheckBox* Item(int index) const { return items_.at(std::size_t(index)); }
  void Sync();

 private:
  TCheckGroup& group_;
  qt_view::TControlLink link_;
  std::vector<QCheckBox*> items_;
};
