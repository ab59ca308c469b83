// Kernel basics of this platform. Included through platform/Kernel.h only.
#pragma once

#include <cstdint>

#include "platform/ComBase.h"

// Path delimiter of this platform.
constexpr char16_t PathDelim = u'\\';

static_assert(sizeof(LONG) == sizeof(std::int32_t));

// Atomic increment and decrement through the system's interlocked operations; both
// return the value they produced.
inline std::int32_t InterlockedIncrement(std::int32_t& v) {
  return ::InterlockedIncrement(reinterpret_cast<volatile LONG*>(&v));
}
inline std::int32_t InterlockedDecrement(std::int32_t& v) {
  return ::InterlockedDecrement(reinterpret_cast<volatile LONG*>(&v));
}
