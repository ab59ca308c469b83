#include "ui/Application.h"

#include "ui/UiRuntime.h"

#include "ui/Form.h"

void TApplication::ProcessMessages() {
  ui_runtime::PumpEvents();
  while (HandleMessage(false)) {
  }
}

bool TApplication::HandleMessage(bool insideModalWait) {
  std::optional<ui_runtime::Message> m = ui_runtime::Take(insideModalWait);
  if (!m) return false;
  if (m->run) Forms::TForm::Dispatch(m->run);
  return true;
}

void TApplication::ShowException(const Exception& e) {
  UString text = e.Message;
  if (!text.empty() && text.back() > u'.') text.push_back(u'.');
  ui_runtime::ShowMessageBox(text, u"Error");
}

TApplication& Application() {
  static TApplication app;
  return app;
}
