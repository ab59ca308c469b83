// Gives the module's forms a Qt view while a QApplication exists.
#include "Plugins/UpdZorvik/qt/UpdZorvikQtView.h"

namespace {

// Set when the module is loaded; the factory itself decides per form whether a window
// system is there.
const bool registered = [] {
  Forms::FormViewFactory() = UpdZorvikFormView;
  return true;
}();

}  // namespace
