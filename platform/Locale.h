// The system locale: the ANSI code page and the short date format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UStrings.h"

// The ANSI code page in use: the system's on Windows, 1252 elsewhere.
std::uint32_t AnsiCodePage();
// Decodes single-byte text in the ANSI code page; every byte maps to a character.
UString AnsiToUString(std::string_view s);
// Encodes to the ANSI code page; characters it lacks become "?".
std::string UStringToAnsi(UStringView s);

// The locale's short date format in the run-time's notation ("dd/mm/yyyy", "m/d/yy", ...),
// read from the user's settings (on POSIX systems, the LC_TIME date format) without
// changing the process's locale, which belongs to the host.
UString ShortDateFormat();

// Tests only: fixes what the two functions above report in this module (nothing leaves
// the system's value in place).
void OverrideLocaleForTests(std::optional<std::uint32_t> codePage, std::optional<UString> shortDateFormat);
