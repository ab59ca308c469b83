// The OLE automation run-time: length-prefixed BSTR strings and per-thread error
// information. There is one of it per process, shared by the host and every module, so
// a BSTR allocated on one side can be freed on the other and error information set by a
// module is read by the host. On Windows it is the system's oleaut32; elsewhere it is the
// project's stand-in library.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/ComBase.h"

#if defined(_WIN32)
#include "platform/win32/OleTypes.h"
#else
#include "platform/posix/OleTypes.h"
#endif

static_assert(sizeof(OLECHAR) == sizeof(char16_t));

// The text of a UTF-16 string as the run-time's characters, and back; both are 16-bit
// code units. Some of the system's methods take their input text through a non-const
// pointer; they do not write to it.
inline OLECHAR* OleStr(const std::u16string& s) {
  return const_cast<OLECHAR*>(reinterpret_cast<const OLECHAR*>(s.c_str()));
}
inline OLECHAR* OleStr(const char16_t* s) { return const_cast<OLECHAR*>(reinterpret_cast<const OLECHAR*>(s)); }
inline const char16_t* OleChars(const OLECHAR* s) { return reinterpret_cast<const char16_t*>(s); }

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
  // The text without a copy, valid while the string is held; empty for null.
  std::u16string_view View() const {
    return s_ ? std::u16string_view(OleChars(s_), SysStringLen(s_)) : std::u16string_view();
  }
  std::u16string Text() const { return s_ ? std::u16string(OleChars(s_), SysStringLen(s_)) : std::u16string(); }

 private:
  BSTR s_ = nullptr;
};

// Allocates a BSTR holding text; the caller owns it. Throws std::bad_alloc when the
// allocator refuses.
inline BSTR AllocBSTR(std::u16string_view text) {
  if (text.size() > 0x3FFFFFF0u) throw std::bad_alloc();
  BSTR s = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<std::uint32_t>(text.size()));
  if (!s) throw std::bad_alloc();
  return s;
}
inline BStr::BStr(std::u16string_view text) : s_(AllocBSTR(text)) {}
// The text of a BSTR; empty for null.
inline std::u16string BSTRText(BSTR s) {
  return s ? std::u16string(OleChars(s), SysStringLen(s)) : std::u16string();
}
