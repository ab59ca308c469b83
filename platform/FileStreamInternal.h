// What the two sides of the file streams share. Used by the platform layer only.
#pragma once

#include <cstdint>

#include "platform/UStrings.h"

// Raises EFCreateError "Cannot create file "%s". %s" (create) or EFOpenError "Cannot open
// file "%s". %s" with the expanded name and the system's text for a Windows error code.
[[noreturn]] void RaiseFileOpenError(bool create, UStringView name, std::uint32_t winError);
