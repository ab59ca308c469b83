#include "PluginAPI/Plugins/PluginForm.h"

#include "platform/InterfacedObject.h"
#include "ui/UiRuntime.h"

TForm::TForm(ICore* core, UString name) : Forms::TForm(std::move(name)), FCore(core) {
  FApplicationWindows = FCore.As<IApplicationWindows>();
  if (!FApplicationWindows) AssertionFailure(u"Assertion failure", u"PluginAPI\\Plugins\\PluginForm", 47);
}

int TForm::ShowModal() {
  CheckSafeCallResult(FApplicationWindows->ModalStarted());
  int result;
  try {
    result = Forms::TForm::ShowModal();
  } catch (...) {
    // A failing ModalFinished raises in place of the loop's error.
    CheckSafeCallResult(FApplicationWindows->ModalFinished());
    throw;
  }
  CheckSafeCallResult(FApplicationWindows->ModalFinished());
  return result;
}

void TForm::DoShow() {
  SetIcons();
  Forms::TForm::DoShow();
}

void TForm::SetIcons() {
  ComPtr<IHostIcons> icons = FCore.As<IHostIcons>();
  if (!icons) return;
  struct Kind {
    Forms::TIconKind kind;
    HRESULT (ZSTDCALL IHostIcons::*get)(THandle*);
  };
  for (Kind k : {Kind{Forms::ikSmall, &IHostIcons::GetSmallIcon}, Kind{Forms::ikBig, &IHostIcons::GetLargeIcon}}) {
    THandle icon = 0;
    CheckSafeCallResult((icons.Get()->*k.get)(&icon));
    std::uint32_t previous;
    try {
      previous = SetIconMessage(k.kind, icon);
    } catch (...) {
      ui_runtime::DestroyIcon(icon);
      throw;
    }
    if (previous) ui_runtime::DestroyIcon(previous);
  }
}
