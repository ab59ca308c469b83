#include "platform/DateUtils.h"

#include "platform/Locale.h"

namespace {

UString Two(int v, bool pad) {
  UString s = IntToStr(v);
  if (pad && s.size() < 2) s.insert(0, 1, u'0');
  return s;
}

int RunLength(UStringView p, std::size_t i) {
  std::size_t j = i;
  char16_t c = static_cast<char16_t>(p[i] | 0x20);
  while (j < p.size() && static_cast<char16_t>(p[j] | 0x20) == c) ++j;
  return static_cast<int>(j - i);
}

}  // namespace

UString FormatDateTime(UStringView pattern, const TDateTimeParts& t) {
  UString out;
  bool afterHour = false;
  for (std::size_t i = 0; i < pattern.size();) {
    char16_t c = pattern[i];
    char16_t lower = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c == u'"' || c == u'\'') {
      std::size_t end = pattern.find(c, i + 1);
      if (end == UStringView::npos) end = pattern.size();
      out += pattern.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    int n = (lower == u'd' || lower == u'm' || lower == u'y' || lower == u'h' || lower == u'n' || lower == u's')
                ? RunLength(pattern, i)
                : 1;
    switch (lower) {
      case u'd':
        if (n >= 5) {
          out += FormatDateTime(ShortDateFormat(), t);
          n = 5;
        } else {
          out += Two(t.day, n >= 2);
          n = std::min(n, 2);
        }
        break;
      case u'm':
        n = std::min(n, 2);
        out += Two(afterHour ? t.minute : t.month, n >= 2);
        break;
      case u'y':
        if (n >= 3) {
          out += IntToStr(t.year);
        } else {
          out += Two(t.year % 100, true);
        }
        break;
      case u'h':
        n = std::min(n, 2);
        out += Two(t.hour, n >= 2);
        afterHour = true;
        i += static_cast<std::size_t>(n);
        continue;
      case u'n':
        n = std::min(n, 2);
        out += Two(t.minute, n >= 2);
        break;
      case u's':
        n = std::min(n, 2);
        out += Two(t.second, n >= 2);
        break;
      default:
        out.push_back(c);
        break;
    }
    if (lower != u' ' && lower != u':') afterHour = false;
    i += static_cast<std::size_t>(n);
  }
  return out;
}

TDateTimeParts TimeOfDayFromMilliseconds(std::uint32_t ms) {
  TDateTimeParts t;
  std::uint32_t secs = ms / 1000;
  t.millisecond = static_cast<int>(ms % 1000);
  t.second = static_cast<int>(secs % 60);
  t.minute = static_cast<int>((secs / 60) % 60);
  t.hour = static_cast<int>((secs / 3600) % 24);
  return t;
}
