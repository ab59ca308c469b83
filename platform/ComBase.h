// COM basics: HRESULT, GUID, IUnknown and the one smart pointer that holds every
// interface reference.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

// Interface methods use stdcall on 32-bit Windows and the platform's default elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define ZSTDCALL __attribute__((stdcall))
#else
#define ZSTDCALL
#endif

// Shared libraries of the project export with it. On Windows the project builds no
// shared library but the module, whose only exports a definition file names.
#if defined(_WIN32)
#define ZORVIK_EXPORT
#else
#define ZORVIK_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32)
#include "platform/win32/ComTypes.h"
#else
#include "platform/posix/ComTypes.h"
#endif

constexpr HRESULT HResultFromCode(std::uint32_t code) { return static_cast<HRESULT>(code); }

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }
// Bits 28-16 of a code.
constexpr std::uint32_t HResultFacility(HRESULT hr) {
  return (static_cast<std::uint32_t>(hr) >> 16) & 0x1FFFu;
}
constexpr HRESULT MakeHResult(bool failure, std::uint32_t facility, std::uint32_t code) {
  return static_cast<HRESULT>((failure ? 0x80000000u : 0u) | ((facility & 0x1FFFu) << 16) |
                              (code & 0xFFFFu));
}
static_assert(sizeof(GUID) == 16);
static_assert(sizeof(HRESULT) == 4);

namespace guid_detail {
constexpr int HexDigit(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}
// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; braces are optional.
template <class Ch>
constexpr std::optional<GUID> Parse(std::basic_string_view<Ch> s) {
  if (s.size() == 38) {
    if (s.front() != Ch('{') || s.back() != Ch('}')) return std::nullopt;
    s = s.substr(1, 36);
  }
  if (s.size() != 36) return std::nullopt;
  std::uint8_t bytes[16] = {};
  int n = 0;
  for (std::size_t i = 0; i < 36;) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (s[i] != Ch('-')) return std::nullopt;
      ++i;
      continue;
    }
    if (s[i] > 0x7F || s[i + 1] > 0x7F) return std::nullopt;
    int hi = HexDigit(static_cast<char>(s[i])), lo = HexDigit(static_cast<char>(s[i + 1]));
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  GUID g{};
  g.Data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
            (std::uint32_t(bytes[2]) << 8) | bytes[3];
  g.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return g;
}
}  // namespace guid_detail

// Reads a GUID in registry form, with or without braces. Returns nothing when the
// text is not one.
inline std::optional<GUID> ParseGUID(std::string_view s) { return guid_detail::Parse(s); }
inline std::optional<GUID> ParseGUID(std::u16string_view s) { return guid_detail::Parse(s); }

// A GUID written in source; a malformed literal stops the build.
consteval GUID MakeGUID(const char* text) {
  std::string_view s(text);
  auto g = guid_detail::Parse(s);
  if (!g) throw "malformed GUID literal";
  return *g;
}

// Formats as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string GUIDToString(const GUID& g);


using IInterface = IUnknown;

// The identity every COM object answers.
constexpr GUID IID_IInterface = MakeGUID("{00000000-0000-0000-C000-000000000046}");

// The interface identifier of T: its IID member for the project's interfaces, the SDK's
// for the system's own.
template <class T>
constexpr GUID IidOf() {
  if constexpr (requires { T::IID; })
    return T::IID;
  else if constexpr (std::is_same_v<T, IUnknown>)
    return IID_IInterface;
#if defined(_WIN32)
  else
    return __uuidof(T);
#endif
}

// Holds one reference to a COM interface and releases it when it goes.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to p.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& o) {
    ComPtr(o).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Takes over a reference the caller already owns.
  static ComPtr Attach(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Gives up the reference without releasing it. The caller owns it.
  T* Detach() { return std::exchange(p_, nullptr); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  // Releases what is held and gives the address for an out parameter.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Asks the held object for interface U. Empty when the object does not offer it.
  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> r;
    if (p_) {
      if (Failed(p_->QueryInterface(IidOf<U>(), r.PutVoid()))) r.Detach();
    }
    return r;
  }
  // Like As, but keeps the HRESULT.
  template <class U>
  HRESULT QueryInto(ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    HRESULT hr = p_->QueryInterface(IidOf<U>(), out.PutVoid());
    if (Failed(hr)) out.Detach();
    return hr;
  }

 private:
  T* p_ = nullptr;
};
