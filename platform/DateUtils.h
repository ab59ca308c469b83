// Date and time values and their formatting.
#pragma once

#include <cstdint>

#include "platform/UStrings.h"

struct TDateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Formats by the run-time's date-time patterns: "ddddd" is the locale's short date format,
// "d"/"dd" day, "m"/"mm" month (minutes right after an hour), "yy"/"yyyy" year, "h"/"hh"
// hour, "n"/"nn" minutes, "s"/"ss" seconds, ":" and "/" stand as written, text between
// quotes is copied.
UString FormatDateTime(UStringView pattern, const TDateTimeParts& t);
// Milliseconds as a time of day: hours restart at 0 after 24 hours.
TDateTimeParts TimeOfDayFromMilliseconds(std::uint32_t ms);
// The system's local date and time now.
TDateTimeParts LocalNow();
