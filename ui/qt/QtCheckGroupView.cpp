#include "ui/qt/QtCheckGroupView.h"

#include <QCheckBox>
#include <QGridLayout>

#include "ui/Form.h"
#include "ui/qt/QtGroupLayout.h"
#include "ui/qt/QtToolkit.h"

TQtCheckGroupView::TQtCheckGroupView(TCheckGroup& group, QWidget* parent) : QGroupBox(parent), group_(group) {
  setFont(qt_view::DialogFont(true));
  auto* grid = qt_view::NewGroupGrid(this, group_.Columns);
  const int count = group_.Count();
  for (int i = 0; i < count; ++i) {
    auto* item = new QCheckBox(qt_view::ToQString(group_.ItemCaption(i)), this);
    item->setFont(qt_view::DialogFont());
    connect(item, &QCheckBox::clicked, this, [this, i] {
      Sync();
      Forms::TForm::Dispatch([this, i] { group_.UserToggle(i); });
    });
    qt_view::PlaceGroupItem(grid, item, i, count, group_.Columns);
    items_.push_back(item);
  }
  link_.Connect(group_, [this] { Sync(); });
  Sync();
}


void TQtCheckGroupView::Sync() {
  setTitle(qt_view::ToQString(group_.Caption));
  setEnabled(group_.Enabled());
  setVisible(group_.Visible());
  // The boxes were made for the items the group had; a later SetItems is not shown.
  for (int i = 0; i < int(items_.size()) && i < group_.Count(); ++i) {
    QCheckBox* item = items_[std::size_t(i)];
    item->setChecked(group_.Checked(i));
    item->setEnabled(group_.ItemEnabled(i));
  }
}
