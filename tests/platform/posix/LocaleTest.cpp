// The date format comes from the user's LC_TIME settings, and reading it leaves the
// process's locale, which belongs to the host, as it was.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/Locale.h"

namespace {

TEST(PosixLocale, DateFormatIsReadWithoutChangingTheProcessLocale) {
  const std::string before = std::setlocale(LC_TIME, nullptr);
  std::setlocale(LC_TIME, "C");
  // The user's settings name a locale other than the process's.
  ::setenv("LC_TIME", "C.UTF-8", 1);
  const UString format = ShortDateFormat();
  ::unsetenv("LC_TIME");
  EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), "C") << "the host's locale was changed";
  EXPECT_EQ(format, u"mm/dd/yy");
  ::setenv("LC_TIME", "xx_NOWHERE.UTF-8", 1);
  EXPECT_EQ(ShortDateFormat(), u"mm/dd/yy") << "an unknown locale falls back to the C locale's format";
  ::unsetenv("LC_TIME");
  std::setlocale(LC_TIME, before.c_str());
}

}  // namespace
