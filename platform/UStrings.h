// Text helpers of the run-time: UTF-16 strings and conversions, trimming and case
// mapping, whole-number conversions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// UTF-16 text, the module's string type.
using UString = std::u16string;
using UStringView = std::u16string_view;

// Decodes UTF-8. Bytes that are not valid UTF-8 become U+FFFD each.
UString Utf8ToUString(std::string_view s);
// Encodes as UTF-8. Unpaired surrogates become U+FFFD.
std::string UStringToUtf8(UStringView s);
// True when every byte of s belongs to a well-formed UTF-8 sequence (no overlong forms,
// no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view s);

// An ASCII or UTF-8 literal as UTF-16; for tests and messages.
inline UString U(std::string_view utf8) { return Utf8ToUString(utf8); }

// Removes leading and trailing characters whose code is U+0020 or below.
UString Trim(UStringView s);
UString TrimLeft(UStringView s);
UString TrimRight(UStringView s);

// Maps only the ASCII letters.
UString UpperCaseAscii(UStringView s);
UString LowerCaseAscii(UStringView s);
// Equal but for the case of ASCII letters; makes no copies, as names are compared on
// hot paths.
inline bool SameTextAscii(UStringView a, UStringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

UString IntToStr(std::int64_t v);
// Upper-case hexadecimal, at least `digits` digits.
UString IntToHex(std::uint64_t v, int digits);

// Reads a whole number as the run-time does: optional blanks before it, an optional sign,
// then decimal digits, or hexadecimal after "$", "0x", "0X", "x" or "X". Nothing may
// follow. Returns nothing for other text or a value outside 32 bits.
std::optional<std::int32_t> TryStrToInt(UStringView s);

// Position of the first occurrence of what in s, or npos.
inline std::size_t Pos(UStringView what, UStringView s) { return s.find(what); }
