#include "ui/win32/Win32GroupLayout.h"

#include <algorithm>

namespace win32_view {

RECT GroupItemBounds(const RECT& box, int index, int count, int columns) {
  constexpr int kCaption = 13, kLeft = 8, kRight = 4, kBottom = 3, kItemHeight = 17;
  columns = std::max(columns, 1);
  const int perColumn = std::max(1, (count + columns - 1) / columns);
  const int left = box.left + kLeft, top = box.top + kCaption;
  const int width = std::max(0, int(box.right - kRight - left)), height = std::max(0, int(box.bottom - kBottom - top));
  const int column = index / perColumn, row = index % perColumn;
  const int cellWidth = width / columns, cellHeight = height / perColumn;
  const int itemHeight = std::min(kItemHeight, cellHeight);
  const int y = top + row * cellHeight + (cellHeight - itemHeight) / 2;
  const int x = left + column * cellWidth;
  return RECT{x, y, x + cellWidth - 2, y + itemHeight};
}

}  // namespace win32_view
