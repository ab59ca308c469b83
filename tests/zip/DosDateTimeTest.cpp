#include <gtest/gtest.h>

#include "zip/DosDateTime.h"

namespace {

constexpr std::uint32_t Dos(int y, int mo, int d, int h, int mi, int halfSec) {
  return std::uint32_t(y - 1980) << 25 | std::uint32_t(mo) << 21 | std::uint32_t(d) << 16 |
         std::uint32_t(h) << 11 | std::uint32_t(mi) << 5 | std::uint32_t(halfSec);
}

TEST(DosDateTimeTest, ValidValuesSplitIntoTheirFields) {
  struct {
    std::uint32_t value;
    TDosDateTime expected;
  } cases[] = {
      {0x00210000, {1980, 1, 1, 0, 0, 0}},
      {Dos(2024, 2, 29, 23, 59, 29), {2024, 2, 29, 23, 59, 58}},
      {Dos(2000, 2, 29, 12, 30, 15), {2000, 2, 29, 12, 30, 30}},
      {Dos(2023, 12, 31, 7, 5, 1), {2023, 12, 31, 7, 5, 2}},
      {Dos(2107, 4, 30, 0, 0, 0), {2107, 4, 30, 0, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(DosDateTimeToDateTime(c.value), c.expected) << std::hex << c.value;
}

TEST(DosDateTimeTest, ImpossibleValuesRaiseConvertError) {
  const std::uint32_t cases[] = {
      0,                            // month 0, day 0
      Dos(2020, 13, 1, 0, 0, 0),   // month 13
      Dos(2020, 1, 0, 0, 0, 0),    // day 0
      Dos(2023, 2, 29, 0, 0, 0),   // not a leap year
      Dos(2100, 2, 29, 0, 0, 0),   // century, not a leap year
      Dos(2020, 4, 31, 0, 0, 0),   // April has 30 days
      Dos(2020, 1, 1, 24, 0, 0),   // hour 24
      Dos(2020, 1, 1, 0, 60, 0),   // minute 60
      Dos(2020, 1, 1, 0, 0, 30),   // 60 seconds
  };
  for (std::uint32_t v : cases) EXPECT_THROW(DosDateTimeToDateTime(v), EConvertError) << std::hex << v;
}

}  // namespace
