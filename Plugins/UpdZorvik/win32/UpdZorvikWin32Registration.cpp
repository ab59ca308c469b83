// Gives the module's forms Win32 windows, and hands the toolkit's pending-message
// processing, message boxes and file chooser to Windows.
#include "Plugins/UpdZorvik/win32/UpdZorvikWin32View.h"

namespace {

// Set when the module is loaded; only hooks are set, no window is touched.
const bool registered = [] {
  Forms::FormViewFactory() = UpdZorvikWin32FormView;
  win32_view::Install();
  return true;
}();

}  // namespace
