#include "ui/qt/QtRadioGroupView.h"

#include <QGridLayout>
#include <QRadioButton>

#include "ui/Form.h"
#include "ui/qt/QtGroupLayout.h"
#include "ui/qt/QtToolkit.h"

TQtRadioGroupView::TQtRadioGroupView(TRadioGroup& group, QWidget* parent) : QGroupBox(parent), group_(group) {
  setFont(qt_view::DialogFont(true));
  auto* grid = qt_view::NewGroupGrid(this, group_.Columns);
  const int count = static_cast<int>(group_.Items.size());
  for (int i = 0; i < count; ++i) {
    auto* item = new QRadioButton(qt_view::ToQString(group_.Items[std::size_t(i)]), this);
    item->setFont(qt_view::DialogFont());
    // The object decides; Qt's own exclusive switching would run ahead of it.
    item->setAutoExclusive(false);
    connect(item, &QRadioButton::clicked, this, [this, i] {
      Sync();
      Forms::TForm::Dispatch([this, i] { group_.UserSelect(i); });
    });
    qt_view::PlaceGroupItem(grid, item, i, count, group_.Columns);
    items_.push_back(item);
  }
  link_.Connect(group_, [this] { Sync(); });
  Sync();
}


void TQtRadioGroupView::Sync() {
  setTitle(qt_view::ToQString(group_.Caption));
  setEnabled(group_.Enabled());
  setVisible(group_.Visible());
  for (int i = 0; i < int(items_.size()); ++i) items_[std::size_t(i)]->setChecked(i == group_.ItemIndex());
}
