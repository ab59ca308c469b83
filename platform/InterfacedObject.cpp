#include "platform/InterfacedObject.h"

TSafeCallErrorProc SafeCallErrorProc = nullptr;

void CheckSafeCallResultAt(HRESULT result, void* address) {
  if (result >= 0) return;
  if (TSafeCallErrorProc proc = SafeCallErrorProc) proc(result, address);
  throw ESafecallException(u"Exception in safecall method");
}

HRESULT TInterfacedObject::QueryInterface(REFIID iid, void** obj) {
  if (!obj) return E_POINTER;
  *obj = nullptr;
  if (!GetInterface(iid, obj)) return E_NOINTERFACE;
  static_cast<IUnknown*>(*obj)->AddRef();
  return S_OK;
}

bool TInterfacedObject::GetInterface(REFIID iid, void** obj) {
  if (iid == IID_IInterface) {
    *obj = static_cast<IUnknown*>(this);
    return true;
  }
  return false;
}

ComULong TInterfacedObject::Release() {
  std::int32_t n = InterlockedDecrement(FRefCount);
  if (n == 0) {
    BeforeDestruction();
    delete this;
  }
  return n;
}

void TInterfacedObject::BeforeDestruction() {
  if (FRefCount != 0) throw EInvalidPointer(u"Invalid pointer operation");
}
