// The locale on POSIX: the configured ANSI code page and the C library's date format.
#include <langinfo.h>

#include <clocale>
#include <cstdlib>

#include "platform/Locale.h"
#include "platform/LocaleInternal.h"

std::uint32_t AnsiCodePage() {
  const char* cp = std::getenv("ZORVIK_ANSI_CP");
  if (cp && std::string_view(cp) == "28591") return 28591;
  return 1252;
}

// Only 1252 and 28591 are configured here, and the common code maps both itself; any
// other page is read as ISO 8859-1.
UString locale_detail::SystemAnsiToUString(std::string_view s, std::uint32_t) {
  UString out(s.size(), u'\0');
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = static_cast<unsigned char>(s[i]);
  return out;
}

std::string locale_detail::SystemUStringToAnsi(UStringView s, std::uint32_t) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
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
