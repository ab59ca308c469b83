// The file chooser on Windows: the toolkit's file-open requests shown in the system's
// open dialog (GetOpenFileNameW).
#pragma once

#include <optional>

#include "ui/UiRuntime.h"

namespace win32_view {

// "Archive files|*.zip|All|*.*" becomes the dialog's list of pairs, each part ended by a
// NUL and the list by another; an unpaired last part is dropped.
UString ChooserFilterList(UStringView filter);

// Shows the request over the thread's active window; the chosen path, or nothing when
// the person cancelled. Raises when the dialog itself fails.
std::optional<UString> RunOpenDialog(const ui_runtime::ChooserRequest& request);

// Gives the toolkit's file-open dialog the system's.
void InstallFileChooser();

}  // namespace win32_view
