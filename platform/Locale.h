// The system locale: the ANSI code page and the short date format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/UStrings.h"

// The ANSI code page in use: 1252 unless ZORVIK_ANSI_CP names another supported one
// (1252 or 28591, ISO 8859-1).
std::uint32_t AnsiCodePage();
// Decodes single-byte text in the ANSI code page; every byte maps to a character.
UString AnsiToUString(std::string_view s);
// Encodes to the ANSI code page; characters it lacks become "?".
std::string UStringToAnsi(UStringView s);

// The locale's short date format in the run-time's notation ("dd/mm/yyyy", "m/d/yy", ...):
// taken from ZORVIK_SHORT_DATE when set, else from the C library's LC_TIME date format.
UString ShortDateFormat();
