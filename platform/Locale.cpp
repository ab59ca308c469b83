#include "platform/Locale.h"

#include <langinfo.h>

#include <clocale>
#include <cstdlib>

namespace {
// Windows-1252 in 0x80-0x9F; 0 marks the five undefined positions, which decode to the
// control character of the same number, as Windows does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

std::uint32_t AnsiCodePage() {
  const char* cp = std::getenv("ZORVIK_ANSI_CP");
  if (cp && std::string_view(cp) == "28591") return 28591;
  return 1252;
}

UString AnsiToUString(std::string_view s) {
  const bool cp1252 = AnsiCodePage() == 1252;
  UString out(s.size(), u'\0');
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto b = static_cast<unsigned char>(s[i]);
    char16_t c = b;
    if (cp1252 && b >= 0x80 && b <= 0x9F && kCp1252High[b - 0x80]) c = kCp1252High[b - 0x80];
    out[i] = c;
  }
  return out;
}

std::string UStringToAnsi(UStringView s) {
  const bool cp1252 = AnsiCodePage() == 1252;
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || (!cp1252 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = '?';
    if (cp1252) {
      for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c || (kCp1252High[i] == 0 && c == 0x80 + i)) {
          mapped = static_cast<char>(0x80 + i);
          break;
        }
    }
    out.push_back(mapped);
  }
  return out;
}

UString ShortDateFormat() {
  if (const char* f = std::getenv("ZORVIK_SHORT_DATE"); f && *f) return Utf8ToUString(f);
  std::setlocale(LC_TIME, "");
  std::string_view fmt = nl_langinfo(D_FMT);
  UString out;
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%' || i + 1 >= fmt.size()) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(fmt[i])));
      continue;
    }
    switch (fmt[++i]) {
      case 'd': out += u"dd"; break;
      case 'e': out += u"d"; break;
      case 'm': out += u"mm"; break;
      case 'y': out += u"yy"; break;
      case 'Y': out += u"yyyy"; break;
      case 'D': out += u"mm/dd/yy"; break;
      case 'F': out += u"yyyy-mm-dd"; break;
      default: break;
    }
  }
  return out.empty() ? UString(u"mm/dd/yy") : out;
}
