// The column layout shared by the radio and check groups.
#pragma once

class QGridLayout;
class QGroupBox;
class QWidget;

namespace qt_view {

// A grid for a group's items with evenly wide columns and the toolkit's tight margins.
QGridLayout* NewGroupGrid(QGroupBox* box, int columns);
// Places item index of count: each column is filled top to bottom before the next one.
void PlaceGroupItem(QGridLayout* grid, QWidget* item, int index, int count, int columns);

}  // namespace qt_view
