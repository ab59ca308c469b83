// The locale on POSIX: code page 1252, and the date format of the user's LC_TIME settings,
// read through a locale object of our own so that the process's locale, which belongs to
// the host, stays as it is.
#include <langinfo.h>
#include <locale.h>

#include <memory>

#include "platform/Locale.h"
#include "platform/LocaleInternal.h"

std::uint32_t locale_detail::SystemAnsiCodePage() { return 1252; }

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

UString locale_detail::SystemShortDateFormat() {
  struct TFree {
    void operator()(locale_t l) const { freelocale(l); }
  };
  // The user's settings; the C locale's when they name a locale the system lacks.
  std::unique_ptr<std::remove_pointer_t<locale_t>, TFree> user(newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0)));
  if (!user) user.reset(newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0)));
  if (!user) return u"mm/dd/yy";
  std::string_view fmt = nl_langinfo_l(D_FMT, user.get());
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
