// Kernel basics of this platform. Included through platform/Kernel.h only.
#pragma once

#include <atomic>
#include <cstdint>

// Path delimiter of this platform.
constexpr char16_t PathDelim = u'/';

// Atomic increment and decrement; both return the value they produced.
inline std::int32_t InterlockedIncrement(std::int32_t& v) {
  return std::atomic_ref<std::int32_t>(v).fetch_add(1) + 1;
}
inline std::int32_t InterlockedDecrement(std::int32_t& v) {
  return std::atomic_ref<std::int32_t>(v).fetch_sub(1) - 1;
}
