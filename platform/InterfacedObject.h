// The platform's reference-counted object and the safe-call check applied to every call
// into another component's interface.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "platform/ComBase.h"
#include "platform/Kernel.h"
#include "platform/SysUtils.h"

// The failure hook of this module: called with a failed HRESULT and the return address of
// the call that produced it. It raises and never returns. Empty until a unit installs it.
using TSafeCallErrorProc = void (*)(HRESULT code, void* address);
extern TSafeCallErrorProc SafeCallErrorProc;

// Passes zero or positive results. A negative one goes to SafeCallErrorProc, or raises
// ESafecallException when none is installed.
void CheckSafeCallResultAt(HRESULT result, void* address);
#define CheckSafeCallResult(expr) CheckSafeCallResultAt((expr), __builtin_return_address(0))

// A reference-counted object that answers IUnknown. Its count starts at 1 while the
// constructor runs; AfterConstruction brings it to 0 without destroying the object.
// Objects are made by NewObject and destroyed by their last Release or by FreeObject.
class TInterfacedObject : public TObject, public IUnknown {
 public:
  UString ClassName() const override { return u"TInterfacedObject"; }

  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override;
  ComULong ZSTDCALL AddRef() override { return InterlockedIncrement(FRefCount); }
  ComULong ZSTDCALL Release() override;

  std::int32_t RefCount() const { return FRefCount; }

  // Runs once the most derived constructor has finished.
  virtual void AfterConstruction() { InterlockedDecrement(FRefCount); }
  // Runs at the start of every ordinary destruction. Raising here refuses it and leaves
  // the object alive.
  virtual void BeforeDestruction();

 protected:
  TInterfacedObject() = default;
  // Writes the interface pointer for iid to *obj without adding a reference; false when
  // the object does not offer it.
  virtual bool GetInterface(REFIID iid, void** obj);

  std::int32_t FRefCount = 1;
};

// Makes a T; a constructor that raises frees the object without any destruction checks.
template <class T, class... Args>
T* NewObject(Args&&... args) {
  T* p = new T(std::forward<Args>(args)...);
  p->AfterConstruction();
  return p;
}

// Destroys an object explicitly: BeforeDestruction first, which may refuse.
inline void FreeObject(TInterfacedObject* p) {
  if (!p) return;
  p->BeforeDestruction();
  delete p;
}

// Declares the three IUnknown methods in a class that implements several interfaces, so
// that every interface's slots reach Base's shared count.
#define Z_IUNKNOWN_FORWARD(Base)                                                              \
  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override {                         \
    return Base::QueryInterface(iid, obj);                                                   \
  }                                                                                          \
  ComULong ZSTDCALL AddRef() override { return Base::AddRef(); }                         \
  ComULong ZSTDCALL Release() override { return Base::Release(); }

// Runs body as the body of one of obj's interface methods: S_OK when it returns, else the
// HRESULT that obj.SafeCallException makes of what it raised. Nothing escapes.
template <class F>
HRESULT SafeCall(TObject& obj, F&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (const Exception& e) {
    return obj.SafeCallException(&e);
  } catch (const std::bad_alloc&) {
    try {
      EOutOfMemory oom(u"Out of memory");
      return obj.SafeCallException(&oom);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  } catch (...) {
    return obj.SafeCallException(nullptr);
  }
}
