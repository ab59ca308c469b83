// The column layout shared by the radio and check groups.
#pragma once

#include "ui/win32/Win32Toolkit.h"

namespace win32_view {

// The bounds of item index of count in a group box at box (in its parent's coordinates):
// each column is filled top to bottom before the next one, columns evenly wide, below
// the box's caption and within the toolkit's tight margins.
RECT GroupItemBounds(const RECT& box, int index, int count, int columns);

}  // namespace win32_view
