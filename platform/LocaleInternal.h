// What the two sides of the locale share. Used by the platform layer only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/UStrings.h"

namespace locale_detail {
// What the system says, each platform in its own file.
std::uint32_t SystemAnsiCodePage();
UString SystemShortDateFormat();
// Text in a code page other than 1252 and 28591, which the common code maps itself;
// characters the page lacks become "?".
UString SystemAnsiToUString(std::string_view s, std::uint32_t codePage);
std::string SystemUStringToAnsi(UStringView s, std::uint32_t codePage);
}  // namespace locale_detail
