// Blocks with a clean-up that runs on every way out.
#pragma once

#include <type_traits>
#include <utility>

// Runs body, then cleanup, also when body raises. When cleanup raises while an error is
// passing, its error replaces the passing one, as a clean-up block of the run-time does.
template <class Body, class Cleanup>
auto TryFinally(Body&& body, Cleanup&& cleanup) -> decltype(body()) {
  try {
    if constexpr (std::is_void_v<decltype(body())>) {
      body();
    } else {
      auto result = body();
      cleanup();
      return result;
    }
  } catch (...) {
    cleanup();
    throw;
  }
  cleanup();
}
