#include "platform/Locale.h"

#include "platform/LocaleInternal.h"

namespace {
// Windows-1252 in 0x80-0x9F; 0 marks the five undefined positions, which decode to the
// control character of the same number, as Windows does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::optional<std::uint32_t> g_codePage;
std::optional<UString> g_shortDateFormat;
}  // namespace

void OverrideLocaleForTests(std::optional<std::uint32_t> codePage, std::optional<UString> shortDateFormat) {
  g_codePage = codePage;
  g_shortDateFormat = std::move(shortDateFormat);
}

std::uint32_t AnsiCodePage() { return g_codePage ? *g_codePage : locale_detail::SystemAnsiCodePage(); }

UString ShortDateFormat() { return g_shortDateFormat ? *g_shortDateFormat : locale_detail::SystemShortDateFormat(); }

UString AnsiToUString(std::string_view s) {
  const std::uint32_t cp = AnsiCodePage();
  if (cp != 1252 && cp != 28591) return locale_detail::SystemAnsiToUString(s, cp);
  const bool cp1252 = cp == 1252;
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
  const std::uint32_t cp = AnsiCodePage();
  if (cp != 1252 && cp != 28591) return locale_detail::SystemUStringToAnsi(s, cp);
  const bool cp1252 = cp == 1252;
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

