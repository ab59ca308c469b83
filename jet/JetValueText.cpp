#include "jet/JetValueText.h"

#include <cmath>
#include <cstdio>

void AppendDate(std::vector<char16_t>& out, double value) {
  // Jet's range: 100-01-01 to 9999-12-31.
  if (!std::isfinite(value) || value < -657434.0 || value >= 2958466.0) {
    AppendAscii(out, "#invalid date#", 14);
    return;
  }
  double whole = std::trunc(value);
  std::int64_t seconds = std::llround(std::fabs(value - whole) * 86400.0);
  std::int64_t days = std::int64_t(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  std::int64_t z = days - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = yoe + era * 400;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[32];
  const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", int(y), int(m),
                              int(d), int(seconds / 3600), int(seconds / 60 % 60),
                              int(seconds % 60));
  AppendAscii(out, buf, std::size_t(n));
}
