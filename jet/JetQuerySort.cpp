// Ordering the loaded rows by one column: NULL first, then by text with ASCII letters
// folded to lower case, compared code unit by code unit; equal rows keep table order.
#include <algorithm>

#include "jet/JetQuery.h"

namespace {

inline char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

// Eight folded code units packed one byte each, most significant first, so that a
// smaller key always means a smaller text. A unit above 0xFE becomes 0xFF and ends the
// key, and a short text is padded with zeros; equal keys leave the order to the full
// comparison.
std::uint64_t PrefixKey(UStringView s) {
  std::uint64_t key = 0;
  int used = 0;
  for (; used < 8 && used < int(s.size()); ++used) {
    const char16_t c = Fold(s[used]);
    if (c >= 0xFF) {
      key = (key << 8) | 0xFF;
      ++used;
      break;
    }
    key = (key << 8) | c;
  }
  // An empty text keys as zero; shifting a 64-bit value by 64 is undefined.
  return used == 0 ? 0 : used < 8 ? key << (8 * (8 - used)) : key;
}

int CompareFolded(UStringView a, UStringView b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

struct TSortItem {
  std::uint64_t Key;
  std::uint32_t Row;
};

}  // namespace

std::vector<std::uint32_t> TJetQuery::SortedOrder(const TJetColumn& column) {
  const std::uint32_t rows = column.RowCount();
  std::vector<std::uint32_t> order;
  order.reserve(rows);
  std::vector<TSortItem> items;
  items.reserve(rows);
  for (std::uint32_t r = 0; r < rows; ++r) {
    if (column.IsNull(r)) order.push_back(r);  // NULL first, in table order
    else items.push_back({PrefixKey(column.Text(r)), r});
  }
  // The row number breaks ties, which makes the unstable sort stable.
  std::sort(items.begin(), items.end(), [&column](const TSortItem& a, const TSortItem& b) {
    if (a.Key != b.Key) return a.Key < b.Key;
    const int c = CompareFolded(column.Text(a.Row), column.Text(b.Row));
    return c != 0 ? c < 0 : a.Row < b.Row;
  });
  for (const TSortItem& item : items) order.push_back(item.Row);
  return order;
}
