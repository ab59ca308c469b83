// The locale on Windows: the system's ANSI code page and the user's short date format,
// read without touching the process's C locale.
#include <vector>

#include "platform/Locale.h"
#include "platform/LocaleInternal.h"
#include "platform/WinText.h"

std::uint32_t locale_detail::SystemAnsiCodePage() { return ::GetACP(); }

UString locale_detail::SystemAnsiToUString(std::string_view s, std::uint32_t codePage) {
  if (s.empty()) return {};
  const int len = static_cast<int>(std::min<std::size_t>(s.size(), 0x3FFFFFFF));
  int n = ::MultiByteToWideChar(codePage, 0, s.data(), len, nullptr, 0);
  if (n <= 0) return {};
  std::vector<wchar_t> buf(static_cast<std::size_t>(n));
  n = ::MultiByteToWideChar(codePage, 0, s.data(), len, buf.data(), n);
  return FromWide(buf.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

std::string locale_detail::SystemUStringToAnsi(UStringView s, std::uint32_t codePage) {
  if (s.empty()) return {};
  UString text(s);
  const int len = static_cast<int>(std::min<std::size_t>(text.size(), 0x3FFFFFFF));
  int n = ::WideCharToMultiByte(codePage, 0, WideText(text), len, nullptr, 0, "?", nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  n = ::WideCharToMultiByte(codePage, 0, WideText(text), len, out.data(), n, "?", nullptr);
  out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return out;
}

UString locale_detail::SystemShortDateFormat() {
  wchar_t buf[128] = {};
  int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, buf, 128);
  UString pattern = n > 1 ? FromWide(buf, static_cast<std::size_t>(n - 1)) : UString();
  // The system's "M/d/yyyy" is the run-time's "m/d/yyyy"; era marks are left out and
  // quoted literals kept as plain text.
  UString out;
  bool quoted = false;
  for (char16_t c : pattern) {
    if (c == u'\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted) {
      out.push_back(c);
      continue;
    }
    if (c == u'g') continue;
    out.push_back(c == u'M' || c == u'D' || c == u'Y' ? static_cast<char16_t>(c + 32) : c);
  }
  return out.empty() ? UString(u"mm/dd/yy") : out;
}
