// UTF-16 text handed to and taken from the wide Windows calls, whose wchar_t is the same
// 16-bit code unit as char16_t. Windows only.
#pragma once

#include <cstddef>
#include <cwchar>

#include "platform/ComBase.h"
#include "platform/UStrings.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16 on Windows");

// The zero-terminated wide form of s, valid while s lives and is unchanged.
inline const wchar_t* WideText(const UString& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline UString FromWide(const wchar_t* s, std::size_t n) {
  return s ? UString(reinterpret_cast<const char16_t*>(s), n) : UString();
}
inline UString FromWide(const wchar_t* s) { return s ? FromWide(s, std::wcslen(s)) : UString(); }
