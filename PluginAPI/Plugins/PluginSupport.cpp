#include "PluginAPI/Plugins/PluginSupport.h"

#include "platform/InterfacedObject.h"
#include "support/Helpers.h"

TPluginMenuItem::TPluginMenuItem(ICore* core, std::int32_t category) {
  try {
    if (core) core->QueryInterface(IMenuManager::IID, FMenuManager.PutVoid());
    if (!FMenuManager) AssertionFailure(u"Assertion failure", u"PluginAPI\\Plugins\\PluginSupport", 52);
    CheckSafeCallResult(FMenuManager->AddMenuItem(FItem.Put()));
    if (!FItem) throw EOleSysError(u"The host created no menu item.", E_POINTER, 0);
    BStr caption(u"PluginMenuItem"), hint(u"");
    CheckSafeCallResult(FItem->SetCaption(caption.Get()));
    CheckSafeCallResult(FItem->SetHint(hint.Get()));
    CheckSafeCallResult(FItem->SetCategory(category));
    CheckSafeCallResult(FItem->SetEnabled(-1));
    CheckSafeCallResult(FItem->SetFlag(0));
    CheckSafeCallResult(FItem->SetOnClick(static_cast<INotifyEvent*>(this)));
  } catch (...) {
    // The partly built item goes again; the constructor's own error is the one reported.
    try {
      DeleteHostItem();
    } catch (...) {
    }
    throw;
  }
}

TPluginMenuItem::~TPluginMenuItem() {
  try {
    DeleteHostItem();
  } catch (...) {
  }
}

void TPluginMenuItem::DeleteHostItem() {
  if (!FMenuManager) return;
  ComPtr<IMenuManager> manager = std::move(FMenuManager);
  // In/out: the host may clear or replace the reference it is handed.
  IMenuItem* raw = FItem.Detach();
  HRESULT hr = raw ? manager->DeleteMenuItem(&raw) : S_OK;
  FItem = ComPtr<IMenuItem>::Attach(raw);
  CheckSafeCallResult(hr);
}

HRESULT TPluginMenuItem::QueryInterface(REFIID iid, void** obj) {
  if (!obj) return E_POINTER;
  if (iid == IID_IInterface || iid == INotifyEvent::IID) {
    *obj = static_cast<INotifyEvent*>(this);
    return S_OK;
  }
  *obj = nullptr;
  return E_NOINTERFACE;
}

HRESULT TPluginMenuItem::Notify(IUnknown* sender) {
  return SafeCall(*this, [&] {
    ComPtr<IUnknown> hold(sender);
    DoClick();
  });
}

void TPluginMenuItem::DoClick() {
  if (!FItem) return;
  Bool32 enabled = 0;
  CheckSafeCallResult(FItem->GetEnabled(&enabled));
  if (enabled != 0 && OnClick) OnClick(this);
}

HRESULT TPluginMenuItem::SafeCallException(const Exception* e) noexcept { return ExceptionToHResult(*this, e); }
