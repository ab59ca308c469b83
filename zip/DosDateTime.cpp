#include "zip/DosDateTime.h"

#include "platform/SysUtils.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

TDosDateTime DosDateTimeToDateTime(std::uint32_t value) {
  TDosDateTime r;
  r.Year = 1980 + static_cast<int>(value >> 25);
  r.Month = static_cast<int>((value >> 21) & 0x0F);
  r.Day = static_cast<int>((value >> 16) & 0x1F);
  r.Hour = static_cast<int>((value >> 11) & 0x1F);
  r.Minute = static_cast<int>((value >> 5) & 0x3F);
  const int halfSeconds = static_cast<int>(value & 0x1F);
  r.Second = halfSeconds * 2;
  const bool dateOk = r.Month >= 1 && r.Month <= 12 && r.Day >= 1 && r.Day <= DaysInMonth(r.Year, r.Month);
  const bool timeOk = r.Hour <= 23 && r.Minute <= 59 && halfSeconds < 30;
  if (!dateOk || !timeOk)
    throw EConvertError(Format(u"Invalid DOS date and time %.8x", {value}));
  return r;
}
