// The OLE automation run-time: length-prefixed BSTR strings and per-thread error
// information. These live in one shared library that the host and every module load, so
// a BSTR allocated on one side can be freed on the other and error information set by a
// module is read by the host.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/ComBase.h"

using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

extern "C" {
// Allocates a BSTR of len UTF-16 units, copied from src when src is not null, followed by
// a terminating zero. The length prefix holds the byte count. Null when out of memory.
ZORVIK_EXPORT BSTR SysAllocStringLen(const OLECHAR* src, std::uint32_t len);
// Frees a BSTR from SysAllocStringLen. Null is allowed.
ZORVIK_EXPORT void SysFreeString(BSTR s);
// The length in UTF-16 units; 0 for null.
ZORVIK_EXPORT std::uint32_t SysStringLen(BSTR s);
}

struct IErrorInfo : IUnknown {
  static constexpr GUID IID = MakeGUID("{1CF2B120-547D-101B-8E65-08002B2BD119}");
  virtual HRESULT ZSTDCALL GetGUID(GUID* guid) = 0;
  virtual HRESULT ZSTDCALL GetSource(BSTR* source) = 0;
  virtual HRESULT ZSTDCALL GetDescription(BSTR* description) = 0;
  virtual HRESULT ZSTDCALL GetHelpFile(BSTR* helpFile) = 0;
  virtual HRESULT ZSTDCALL GetHelpContext(std::uint32_t* helpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
  static constexpr GUID IID = MakeGUID("{22F03340-547D-101B-8E65-08002B2BD119}");
  virtual HRESULT ZSTDCALL SetGUID(REFGUID guid) = 0;
  virtual HRESULT ZSTDCALL SetSource(LPCOLESTR source) = 0;
  virtual HRESULT ZSTDCALL SetDescription(LPCOLESTR description) = 0;
  virtual HRESULT ZSTDCALL SetHelpFile(LPCOLESTR helpFile) = 0;
  virtual HRESULT ZSTDCALL SetHelpContext(std::uint32_t helpContext) = 0;

 protected:
  ~ICreateErrorInfo() = default;
};

extern "C" {
// Creates an error-information object; the caller owns the returned reference. The same
// object answers IErrorInfo.
ZORVIK_EXPORT HRESULT CreateErrorInfo(ICreateErrorInfo** out);
// Makes info the calling thread's error information, replacing and releasing any earlier
// one; null clears it. The thread takes its own reference. reserved must be 0.
ZORVIK_EXPORT HRESULT SetErrorInfo(std::uint32_t reserved, IErrorInfo* info);
// Hands the thread's error information to the caller, who then owns that reference, and
// clears it for the thread. S_FALSE with a null result when there is none.
ZORVIK_EXPORT HRESULT GetErrorInfo(std::uint32_t reserved, IErrorInfo** out);

// Failure injection for tests: the next `count` calls of CreateErrorInfo fail with
// E_OUTOFMEMORY. Process-wide.
ZORVIK_EXPORT void OleTestFailCreateErrorInfo(int count);
// Number of BSTRs allocated and not yet freed, process-wide; tests use it to find leaks.
ZORVIK_EXPORT long OleLiveStringCount();
}

// Owns one BSTR. Converts to and from UTF-16 text.
class BStr {
 public:
  BStr() = default;
  explicit BStr(std::u16string_view text);  // defined below AllocBSTR
  BStr(const BStr&) = delete;
  BStr& operator=(const BStr&) = delete;
  BStr(BStr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
  BStr& operator=(BStr&& o) noexcept {
    if (this != &o) {
      Reset();
      s_ = std::exchange(o.s_, nullptr);
    }
    return *this;
  }
  ~BStr() { Reset(); }

  // Takes over a BSTR the caller owns.
  static BStr Attach(BSTR s) {
    BStr r;
    r.s_ = s;
    return r;
  }
  // Gives up the BSTR; the caller owns it.
  BSTR Detach() { return std::exchange(s_, nullptr); }
  void Reset() {
    SysFreeString(s_);
    s_ = nullptr;
  }
  // Frees what is held and gives the address for an out parameter.
  BSTR* Put() {
    Reset();
    return &s_;
  }
  // The address of the held string for an in/out parameter.
  BSTR* InOut() { return &s_; }

  BSTR Get() const { return s_; }
  std::uint32_t Length() const { return SysStringLen(s_); }
  std::u16string Text() const { return s_ ? std::u16string(s_, SysStringLen(s_)) : std::u16string(); }

 private:
  BSTR s_ = nullptr;
};

// Allocates a BSTR holding text; the caller owns it. Throws std::bad_alloc when the
// allocator refuses.
inline BSTR AllocBSTR(std::u16string_view text) {
  if (text.size() > 0x3FFFFFF0u) throw std::bad_alloc();
  BSTR s = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
  if (!s) throw std::bad_alloc();
  return s;
}
inline BStr::BStr(std::u16string_view text) : s_(AllocBSTR(text)) {}
// The text of a BSTR; empty for null.
inline std::u16string BSTRText(BSTR s) {
  return s ? std::u16string(s, SysStringLen(s)) : std::u16string();
}
