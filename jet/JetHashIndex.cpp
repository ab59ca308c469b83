#include "jet/JetHashIndex.h"

#include <bit>
#include <cstring>

#include "jet/JetColumn.h"

std::uint64_t TJetHashIndex::HashOf(UStringView s) {
  // FNV-1a over the code units, then a final mix so that the low bits spread well.
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (char16_t c : s) h = (h ^ c) * 0x100000001b3ull;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

TJetHashIndex::TJetHashIndex(const TJetColumn& column, const std::vector<std::uint32_t>& order)
    : FColumn(column), FOrder(order) {
  const std::size_t slots = std::bit_ceil(std::max<std::size_t>(16, order.size() * 2));
  FSlots.resize(slots);
  FMask = slots - 1;
  for (std::uint32_t pos = 0; pos < order.size(); ++pos) {
    const std::uint32_t row = order[pos];
    if (column.IsNull(row)) continue;
    const UStringView value = column.Text(row);
    const std::uint64_t h = HashOf(value);
    const std::uint32_t h32 = std::uint32_t(h >> 32);
    for (std::uint64_t i = h & FMask;; i = (i + 1) & FMask) {
      TSlot& slot = FSlots[i];
      if (slot.Position1 == 0) {
        slot.Position1 = pos + 1;
        slot.Hash = h32;
        break;
      }
      if (slot.Hash == h32 && column.Text(order[slot.Position1 - 1]) == value) break;
    }
  }
}

std::uint32_t TJetHashIndex::Find(UStringView value) const {
  const std::uint64_t h = HashOf(value);
  const std::uint32_t h32 = std::uint32_t(h >> 32);
  for (std::uint64_t i = h & FMask;; i = (i + 1) & FMask) {
    const TSlot& slot = FSlots[i];
    if (slot.Position1 == 0) return NotFound;
    if (slot.Hash == h32 && FColumn.Text(FOrder[slot.Position1 - 1]) == value)
      return slot.Position1 - 1;
  }
}
