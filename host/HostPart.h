// The base of the host's interface objects. They live as long as the host; the plug-in's
// references are counted so that tests can see every one given back.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "host/HostFaults.h"
#include "platform/ComBase.h"

template <class I>
class THostPart : public I {
 public:
  // identity answers QueryInterface for every interface of the host.
  THostPart(THostFaults& faults, IUnknown& identity) : FFaults(faults), FIdentity(identity) {}
  THostPart(const THostPart&) = delete;
  THostPart& operator=(const THostPart&) = delete;

  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override { return FIdentity.QueryInterface(iid, obj); }
  ComULong ZSTDCALL AddRef() override {
    ++FAddRefs;
    return ++FRefs;
  }
  ComULong ZSTDCALL Release() override {
    ++FReleases;
    return --FRefs;
  }

  // References held outside the host; negative after an extra Release.
  std::int32_t Refs() const { return FRefs; }
  std::int32_t AddRefs() const { return FAddRefs; }
  std::int32_t Releases() const { return FReleases; }

 protected:
  ~THostPart() = default;
  template <class F>
  HRESULT Call(std::string_view method, F&& body) noexcept {
    return HostCall(FFaults, method, std::forward<F>(body));
  }
  // Raises when a required out-address is null.
  template <class T>
  static T& Out(T* p) {
    if (!p) throw EHostError(E_POINTER, u"A result address is null.");
    return *p;
  }

  THostFaults& FFaults;
  IUnknown& FIdentity;

 private:
  std::atomic<std::int32_t> FRefs{0}, FAddRefs{0}, FReleases{0};
};
