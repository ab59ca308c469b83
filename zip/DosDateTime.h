// Conversion of the 32-bit DOS date and time stored in ZIP archives.
#pragma once

#include <cstdint>

#include "platform/SysUtils.h"  // EConvertError

// A calendar date and time of day, read as local time.
struct TDosDateTime {
  int Year = 1980;
  int Month = 1;
  int Day = 1;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;

  bool operator==(const TDosDateTime&) const = default;
};

// Splits a DOS date-time (date in the high 16 bits, time in the low 16 bits) into its
// fields. Raises EConvertError for a month outside 1..12, a day of 0 or past the end of
// its month, an hour above 23, a minute above 59 or a seconds field of 30 or more.
TDosDateTime DosDateTimeToDateTime(std::uint32_t value);
