// Decoding of names stored in code page 437, the default encoding of ZIP member names.
#pragma once

#include <string_view>

#include "platform/UStrings.h"

// Bytes below 0x80 are ASCII; the upper half maps to its code page 437 characters.
UString Cp437ToUString(std::string_view s);
