// An exact, case-sensitive lookup of one column's values, built once over a query's rows
// in the query's order.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/UStrings.h"

class TJetColumn;

class TJetHashIndex {
 public:
  static constexpr std::uint32_t NotFound = UINT32_MAX;

  // order maps query positions to table rows. NULL values are left out; of equal values
  // the index keeps the first position.
  TJetHashIndex(const TJetColumn& column, const std::vector<std::uint32_t>& order);

  // The first query position whose value equals value code unit for code unit, or
  // NotFound.
  std::uint32_t Find(UStringView value) const;

 private:
  struct TSlot {
    std::uint32_t Position1 = 0;  // query position + 1; 0 marks an empty slot
    std::uint32_t Hash = 0;
  };
  static std::uint64_t HashOf(UStringView s);

  const TJetColumn& FColumn;
  const std::vector<std::uint32_t>& FOrder;
  std::vector<TSlot> FSlots;
  std::uint64_t FMask = 0;
};
