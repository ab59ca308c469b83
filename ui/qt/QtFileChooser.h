// The file chooser on Qt: the toolkit's file-open requests shown as a real dialog.
#pragma once

#include <QString>

#include "ui/UiRuntime.h"

namespace qt_view {

// "Archive files|*.zip|All|*" becomes "Archive files (*.zip);;All (*)"; the index (from
// 1) picks the selected entry, which is empty when out of range.
QString ChooserFilters(const UString& filter, int filterIndex, QString* selected);

// Shows requests from the toolkit's file-open dialog in a QFileDialog over the active
// window, while a QApplication exists.
void InstallFileChooser();

}  // namespace qt_view
