#include "ui/Application.h"

#include "ui/UiRuntime.h"

void TApplication::ProcessMessages() { ui_runtime::ProcessPending(); }

void TApplication::ShowException(const Exception& e) {
  UString text = e.Message;
  if (!text.empty() && text.back() > u'.') text.push_back(u'.');
  ui_runtime::ShowMessageBox(text, u"Error");
}

TApplication& Application() {
  static TApplication app;
  return app;
}
