// Text helpers shared by the request and response halves of the HTTP client.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/UStrings.h"

namespace http_text {

// The text before the first occurrence of what, or all of s when it does not occur.
inline UString LeftOf(UStringView s, UStringView what) {
  std::size_t p = s.find(what);
  return UString(p == UStringView::npos ? s : s.substr(0, p));
}

// The text after the first occurrence of what, or all of s when it does not occur.
inline UString RightOf(UStringView s, UStringView what) {
  std::size_t p = s.find(what);
  return UString(p == UStringView::npos ? s : s.substr(p + what.size()));
}

inline bool StartsWith(UStringView s, UStringView prefix) { return s.substr(0, prefix.size()) == prefix; }

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// ASCII upper case of single-byte text.
inline std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

// Strips bytes whose code is that of the blank or below from both ends.
inline std::string_view TrimBytes(std::string_view s) {
  while (!s.empty() && std::uint8_t(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && std::uint8_t(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

}  // namespace http_text
