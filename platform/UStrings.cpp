#include "platform/UStrings.h"

#include <cstdio>

namespace {

void AppendUtf16(UString& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

// Decodes one UTF-8 sequence at s[i]. Returns its length, or 0 when it is malformed.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& c) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = b(i);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  std::size_t n;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b(i + k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

bool IsBlank(char16_t c) { return c <= 0x20; }

}  // namespace

UString Utf8ToUString(std::string_view s) {
  UString out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    char32_t c;
    std::size_t n = DecodeUtf8(s, i, c);
    if (n == 0) {
      out.push_back(u'\uFFFD');
      ++i;
    } else {
      AppendUtf16(out, c);
      i += n;
    }
  }
  return out;
}

std::string UStringToUtf8(UStringView s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    char32_t c;
    std::size_t n = DecodeUtf8(s, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

UString TrimLeft(UStringView s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return UString(s.substr(b));
}

UString TrimRight(UStringView s) {
  std::size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return UString(s.substr(0, e));
}

UString Trim(UStringView s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return UString(s.substr(b, e - b));
}

UString UpperCaseAscii(UStringView s) {
  UString r(s);
  for (auto& c : r)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return r;
}

UString LowerCaseAscii(UStringView s) {
  UString r(s);
  for (auto& c : r)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return r;
}

UString IntToStr(std::int64_t v) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
  return UString(buf, buf + n);
}

UString IntToHex(std::uint64_t v, int digits) {
  char buf[40];
  if (digits < 1) digits = 1;
  if (digits > 32) digits = 32;
  int n = std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(v));
  return UString(buf, buf + n);
}

std::optional<std::int32_t> TryStrToInt(UStringView s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) neg = s[i++] == u'-';
  int base = 10;
  if (i < s.size() && (s[i] == u'$' || s[i] == u'x' || s[i] == u'X')) {
    base = 16, ++i;
  } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    base = 16, i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  std::uint64_t v = 0;
  for (; i < s.size(); ++i) {
    char16_t c = s[i];
    int d = c >= u'0' && c <= u'9'                 ? c - u'0'
            : base == 16 && c >= u'a' && c <= u'f' ? c - u'a' + 10
            : base == 16 && c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                   : -1;
    if (d < 0) return std::nullopt;
    v = v * base + d;
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  if (base == 10) {
    if (neg ? v > 0x80000000ull : v > 0x7FFFFFFFull) return std::nullopt;
    return static_cast<std::int32_t>(neg ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v));
  }
  // Hexadecimal fills all 32 bits, so $FFFFFFFF reads as -1.
  auto u32 = static_cast<std::uint32_t>(v);
  auto r = static_cast<std::int32_t>(u32);
  return neg ? static_cast<std::int32_t>(0u - u32) : r;
}
