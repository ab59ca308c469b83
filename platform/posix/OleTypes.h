// The project's stand-in for the OLE automation run-time (libzorvikole). Included
// through platform/OleAuto.h only.
#pragma once

#include <cstdint>

#include "platform/ComBase.h"

using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// The run-time's 32-bit unsigned count (a DWORD on Windows).
using OleDWord = std::uint32_t;

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
  virtual HRESULT ZSTDCALL GetHelpContext(OleDWord* helpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
  static constexpr GUID IID = MakeGUID("{22F03340-547D-101B-8E65-08002B2BD119}");
  virtual HRESULT ZSTDCALL SetGUID(REFGUID guid) = 0;
  virtual HRESULT ZSTDCALL SetSource(LPCOLESTR source) = 0;
  virtual HRESULT ZSTDCALL SetDescription(LPCOLESTR description) = 0;
  virtual HRESULT ZSTDCALL SetHelpFile(LPCOLESTR helpFile) = 0;
  virtual HRESULT ZSTDCALL SetHelpContext(OleDWord helpContext) = 0;

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

