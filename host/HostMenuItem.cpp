#include "host/HostMenuItem.h"

#include "platform/OleAuto.h"

THostMenuItem::THostMenuItem(THostFaults& faults) : FFaults(faults) { ++s_live; }

THostMenuItem::~THostMenuItem() { --s_live; }

bool THostMenuItem::GetInterface(REFIID iid, void** obj) {
  if (iid == IID_IInterface || iid == IMenuItem::IID) {
    *obj = static_cast<IMenuItem*>(this);
    return true;
  }
  return false;
}

HRESULT THostMenuItem::GetEnabled(Bool32* enabled) {
  return Call("GetEnabled", [&] {
    if (!enabled) throw EHostError(E_POINTER, u"A result address is null.");
    *enabled = FEnabled ? -1 : 0;
  });
}

HRESULT THostMenuItem::SetCaption(BSTR text) {
  return Call("SetCaption", [&] { FCaption = BSTRText(text); });
}

HRESULT THostMenuItem::SetFlag(std::int32_t flag) {
  return Call("SetFlag", [&] { FFlag = flag; });
}

HRESULT THostMenuItem::SetEnabled(Bool32 enabled) {
  return Call("SetEnabled", [&] { FEnabled = enabled != 0; });
}

HRESULT THostMenuItem::SetHint(BSTR text) {
  return Call("SetHint", [&] { FHint = BSTRText(text); });
}

HRESULT THostMenuItem::SetCategory(std::int32_t category) {
  return Call("SetCategory", [&] { FCategory = category; });
}

HRESULT THostMenuItem::SetOnClick(INotifyEvent* receiver) {
  return Call("SetOnClick", [&] {
    if (FDeleted) throw EHostError(E_FAIL, u"The menu item was deleted.");
    FReceiver = ComPtr<INotifyEvent>(receiver);
  });
}

TCallError THostMenuItem::Click() {
  if (FDeleted || !FReceiver) return {};
  // The receiver may delete this item while it runs.
  ComPtr<INotifyEvent> receiver = FReceiver;
  ComPtr<IMenuItem> self(static_cast<IMenuItem*>(this));
  SetErrorInfo(0, nullptr);
  HRESULT hr = receiver->Notify(self.Get());
  return Failed(hr) ? TakeCallError(hr) : TCallError{hr, {}, {}, {}};
}

void THostMenuItem::MarkDeleted() {
  FDeleted = true;
  FReceiver = nullptr;
}

void THostMenuItem::Abandon() {
  FDeleted = true;
  FReceiver.Detach();
}
