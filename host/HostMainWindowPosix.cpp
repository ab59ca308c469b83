// Headless here: no window, and the application handle stays as it is.
#include "host/HostMainWindow.h"

struct THostMainWindow::TImpl {};

THostMainWindow::THostMainWindow(THostWindows&) {}
THostMainWindow::~THostMainWindow() = default;
void THostMainWindow::SetHandler(THandler) {}
