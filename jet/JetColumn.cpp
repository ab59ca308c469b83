#include "jet/JetColumn.h"

#include "jet/EDatabaseError.h"

void TJetColumn::EndRow(bool isNull) {
  if (FArena.size() > UINT32_MAX)
    throw EDatabaseError(Format(u"Column '%s' holds more text than can be loaded", {FName}));
  const std::uint32_t row = std::uint32_t(FEnds.size());
  if ((row & 63) == 0) FNulls.push_back(0);
  if (isNull) FNulls.back() |= std::uint64_t(1) << (row & 63);
  FEnds.push_back(std::uint32_t(FArena.size()));
}

void TJetColumn::Reserve(std::uint32_t rows, std::size_t units) {
  FEnds.reserve(rows);
  FNulls.reserve(rows / 64 + 1);
  FArena.reserve(units);
}

void TJetColumn::Shrink() {
  FArena.shrink_to_fit();
  FEnds.shrink_to_fit();
  FNulls.shrink_to_fit();
}

TJetColumn TJetColumn::Reordered(const std::vector<std::uint32_t>& order) const {
  TJetColumn out(FName, FDataType);
  out.Reserve(std::uint32_t(order.size()), FArena.size());
  for (std::uint32_t row : order) {
    const UStringView text = Text(row);
    out.FArena.insert(out.FArena.end(), text.begin(), text.end());
    out.EndRow(IsNull(row));
  }
  return out;
}
