// Gives the module's forms a Qt view while a QApplication exists.
#include <QCoreApplication>
#include <QMetaObject>

#include "Plugins/UpdZorvik/qt/UpdZorvikQtView.h"

namespace {

void Register() { Forms::FormViewFactory = UpdZorvikFormView; }

// Set when the module is loaded. The factory's own initialisation may run after this one
// within the same load and clear it again, so while a QApplication exists the setting is
// repeated from Qt's event loop, which runs before a person can open a dialog.
const bool registered = [] {
  Register();
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, &Register, Qt::QueuedConnection);
  return true;
}();

}  // namespace
