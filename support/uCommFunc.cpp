#include "support/uCommFunc.h"

namespace {
// Collapses every run of `delim` to one character and writes that as `other`.
UString CollapseAndSwap(UStringView value, char16_t delim, char16_t other) {
  UString r;
  r.reserve(value.size() + 2);
  bool inRun = false;
  for (char16_t ch : value) {
    if (ch == delim) {
      if (!inRun) r.push_back(other);
      inRun = true;
    } else {
      r.push_back(ch);
      inRun = false;
    }
  }
  return r;
}
}  // namespace

UString QuoteSQLLiteral(UStringView value) {
  if (value.find(u'"') == UStringView::npos)
    return u'\'' + CollapseAndSwap(value, u'\'', u'"') + u'\'';
  return u'"' + CollapseAndSwap(value, u'"', u'\'') + u'"';
}
