// What the two sides of the kernel services share. Used by the platform layer only.
#pragma once

#include <cstdint>

#include "platform/UStrings.h"

namespace kernel_detail {
inline bool IsDelim(char16_t c) { return c == u'/' || c == u'\\'; }
inline std::size_t LastDelim(UStringView p) {
  for (std::size_t i = p.size(); i > 0; --i)
    if (IsDelim(p[i - 1])) return i - 1;
  return UString::npos;
}
// The system's millisecond clock.
std::uint32_t SystemTickCount();
// Creates one folder whose parent exists; true when it exists afterwards.
bool MakeOneDirectory(const UString& path);
}  // namespace kernel_detail
