#include "platform/OleAuto.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<long> g_liveStrings{0};
std::atomic<int> g_failCreateErrorInfo{0};

// Storage layout: 4-byte byte count, then the characters, then a zero character.
struct BstrHeader {
  std::uint32_t bytes;
};

class ErrorInfo final : public ICreateErrorInfo, public IErrorInfo {
 public:
  HRESULT ZSTDCALL QueryInterface(REFIID iid, void** obj) override {
    if (!obj) return E_POINTER;
    if (iid == IID_IInterface || iid == ICreateErrorInfo::IID) {
      *obj = static_cast<ICreateErrorInfo*>(this);
    } else if (iid == IErrorInfo::IID) {
      *obj = static_cast<IErrorInfo*>(this);
    } else {
      *obj = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ComULong ZSTDCALL AddRef() override { return ++refs_; }
  ComULong ZSTDCALL Release() override {
    std::int32_t n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  HRESULT ZSTDCALL SetGUID(REFGUID guid) override {
    guid_ = guid;
    return S_OK;
  }
  HRESULT ZSTDCALL SetSource(LPCOLESTR s) override { return Assign(source_, s); }
  HRESULT ZSTDCALL SetDescription(LPCOLESTR s) override { return Assign(description_, s); }
  HRESULT ZSTDCALL SetHelpFile(LPCOLESTR s) override { return Assign(helpFile_, s); }
  HRESULT ZSTDCALL SetHelpContext(OleDWord c) override {
    helpContext_ = c;
    return S_OK;
  }

  HRESULT ZSTDCALL GetGUID(GUID* g) override {
    if (!g) return E_POINTER;
    *g = guid_;
    return S_OK;
  }
  HRESULT ZSTDCALL GetSource(BSTR* s) override { return Copy(source_, s); }
  HRESULT ZSTDCALL GetDescription(BSTR* s) override { return Copy(description_, s); }
  HRESULT ZSTDCALL GetHelpFile(BSTR* s) override { return Copy(helpFile_, s); }
  HRESULT ZSTDCALL GetHelpContext(OleDWord* c) override {
    if (!c) return E_POINTER;
    *c = helpContext_;
    return S_OK;
  }

 private:
  ~ErrorInfo() = default;

  // Input strings are zero-terminated, as COM passes them.
  static HRESULT Assign(std::u16string& field, LPCOLESTR s) {
    try {
      field = s ? std::u16string(s) : std::u16string();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  static HRESULT Copy(const std::u16string& field, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(field.data(), static_cast<std::uint32_t>(field.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  std::atomic<std::int32_t> refs_{0};
  GUID guid_{};
  std::u16string source_, description_, helpFile_;
  std::uint32_t helpContext_ = 0;
};

// The thread's error information; released when the thread ends.
struct ThreadErrorSlot {
  IErrorInfo* info = nullptr;
  ~ThreadErrorSlot() {
    if (info) info->Release();
  }
};
thread_local ThreadErrorSlot t_error;

}  // namespace

extern "C" {

BSTR SysAllocStringLen(const OLECHAR* src, std::uint32_t len) {
  if (len > (0x7FFFFFFFu - sizeof(BstrHeader) - sizeof(OLECHAR)) / sizeof(OLECHAR)) return nullptr;
  std::size_t bytes = std::size_t(len) * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(BstrHeader) + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  BstrHeader h{static_cast<std::uint32_t>(bytes)};
  std::memcpy(block, &h, sizeof h);
  auto* chars = reinterpret_cast<OLECHAR*>(block + sizeof(BstrHeader));
  if (src)
    std::memcpy(chars, src, bytes);
  else
    std::memset(chars, 0, bytes);
  chars[len] = 0;
  ++g_liveStrings;
  return chars;
}

void SysFreeString(BSTR s) {
  if (!s) return;
  --g_liveStrings;
  std::free(reinterpret_cast<unsigned char*>(s) - sizeof(BstrHeader));
}

std::uint32_t SysStringLen(BSTR s) {
  if (!s) return 0;
  BstrHeader h;
  std::memcpy(&h, reinterpret_cast<unsigned char*>(s) - sizeof(BstrHeader), sizeof h);
  return h.bytes / sizeof(OLECHAR);
}

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  int pending = g_failCreateErrorInfo.load();
  while (pending > 0) {
    if (g_failCreateErrorInfo.compare_exchange_weak(pending, pending - 1)) return E_OUTOFMEMORY;
  }
  auto* e = new (std::nothrow) ErrorInfo();
  if (!e) return E_OUTOFMEMORY;
  e->AddRef();
  *out = e;
  return S_OK;
}

HRESULT SetErrorInfo(std::uint32_t reserved, IErrorInfo* info) {
  if (reserved != 0) return E_INVALIDARG;
  if (info) info->AddRef();
  IErrorInfo* old = std::exchange(t_error.info, info);
  if (old) old->Release();
  return S_OK;
}

HRESULT GetErrorInfo(std::uint32_t reserved, IErrorInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (reserved != 0) return E_INVALIDARG;
  *out = std::exchange(t_error.info, nullptr);
  return *out ? S_OK : S_FALSE;
}

void OleTestFailCreateErrorInfo(int count) { g_failCreateErrorInfo = count < 0 ? 0 : count; }

long OleLiveStringCount() { return g_liveStrings.load(); }

}  // extern "C"

