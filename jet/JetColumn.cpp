#include "jet/JetColumn.h"

#include <cstring>

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
  // The text is copied straight into an arena sized once.
  std::size_t units = 0;
  for (std::uint32_t row : order) units += Text(row).size();
  if (units > UINT32_MAX) throw EDatabaseError(Format(u"Column '%s' holds more text than can be loaded", {FName}));
  out.FArena.resize(units);
  out.FEnds.resize(order.size());
  out.FNulls.assign(order.size() / 64 + 1, 0);
  char16_t* dest = out.FArena.data();
  std::size_t end = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::uint32_t row = order[i];
    const UStringView text = Text(row);
    if (!text.empty()) std::memcpy(dest + end, text.data(), text.size() * sizeof(char16_t));
    end += text.size();
    out.FEnds[i] = std::uint32_t(end);
    if (IsNull(row)) out.FNulls[i >> 6] |= std::uint64_t(1) << (i & 63);
  }
  out.FNulls.resize((order.size() + 63) / 64);
  return out;
}
