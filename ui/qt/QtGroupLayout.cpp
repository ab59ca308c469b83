#include "ui/qt/QtGroupLayout.h"

#include <QGridLayout>
#include <QGroupBox>

#include <algorithm>

namespace qt_view {

QGridLayout* NewGroupGrid(QGroupBox* box, int columns) {
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(8, 2, 4, 2);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(0);
  for (int c = 0; c < std::max(columns, 1); ++c) grid->setColumnStretch(c, 1);
  return grid;
}

void PlaceGroupItem(QGridLayout* grid, QWidget* item, int index, int count, int columns) {
  columns = std::max(columns, 1);
  int perColumn = std::max(1, (count + columns - 1) / columns);
  grid->addWidget(item, index % perColumn, index / perColumn);
}

}  // namespace qt_view
