// COM types of this platform: our own HRESULT, GUID and IUnknown, laid out as Windows
// lays them out. Included through platform/ComBase.h only.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;
// What AddRef and Release return.
using ComULong = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

constexpr std::uint32_t FACILITY_ITF = 4;
constexpr std::uint32_t FACILITY_WIN32 = 7;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];

  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};
using IID = GUID;
using REFIID = const GUID&;
using REFGUID = const GUID&;

constexpr GUID GUID_NULL{};

// IUnknown. Interfaces have no virtual destructor: slots 0-2 are these three methods and
// the declared methods follow in order. Objects are never deleted through an interface.
struct IUnknown {
  virtual HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) = 0;
  virtual ComULong ZSTDCALL AddRef() = 0;
  virtual ComULong ZSTDCALL Release() = 0;

 protected:
  ~IUnknown() = default;
};
