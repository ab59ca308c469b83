// Matching table and column names as Jet does for ASCII: letters compare without regard
// to case. Allocation-free, since field lookups by name sit on the run's hot path.
#pragma once

#include "platform/UStrings.h"

inline bool SameJetName(UStringView a, UStringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = char16_t(x - 32);
    if (y >= u'a' && y <= u'z') y = char16_t(y - 32);
    if (x != y) return false;
  }
  return true;
}
