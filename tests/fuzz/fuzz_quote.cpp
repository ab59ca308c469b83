// Property of the statements the module sends: whatever the package's values, the UPDATE
// statement built from them parses on the host as exactly one UPDATE that sets the chosen
// columns to the values after the quote rule, for the callsign after the same rule. The
// rule is restated here independently: the delimiter is the apostrophe unless the value
// holds a quotation mark, and every run of the delimiter becomes one of the other quote.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Plugins/UpdZorvik/uUpdZorvikStatement.h"
#include "host/HostFaults.h"
#include "host/JetSql.h"
#include "tests/fuzz/FuzzText.h"

namespace {

// The quote rule written out on its own, as the property's oracle: the module's code is
// what is under test, so it cannot be its own reference.
UString AfterQuoteRule(UStringView v) {
  const char16_t delim = v.find(u'"') == UStringView::npos ? u'\'' : u'"';
  const char16_t other = delim == u'\'' ? u'"' : u'\'';
  UString out;
  bool inRun = false;
  for (char16_t c : v) {
    if (c == delim) {
      if (!inRun) out.push_back(other);
      inRun = true;
    } else {
      out.push_back(c);
      inRun = false;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  // The text columns the module may set, in its statement order, then the manager field,
  // which becomes QSLMANAGER or Use_BUREAU=TRUE.
  static constexpr TCallbookColumn kText[] = {TCallbookColumn::OMNAME, TCallbookColumn::OMQTH,
                                              TCallbookColumn::GRIDSQUARE, TCallbookColumn::STATE,
                                              TCallbookColumn::QSLMANAGER};
  UString list;
  std::vector<int> columns;
  std::vector<UString> values;
  const std::uint8_t chosen = in.ConsumeIntegral<std::uint8_t>();
  for (int i = 0; i < 5; ++i) {
    if (!(chosen & (1u << i))) continue;
    const int col = static_cast<int>(kText[i]);
    if (i == 4 && (chosen & 0x20)) {
      AppendTrueAssignment(list, CallbookColumnName(static_cast<int>(TCallbookColumn::Use_BUREAU)));
      columns.push_back(static_cast<int>(TCallbookColumn::Use_BUREAU));
      values.emplace_back();
      continue;
    }
    UString v = TakeFuzzText(in, 512);
    AppendAssignment(list, CallbookColumnName(col), v);
    columns.push_back(col);
    values.push_back(AfterQuoteRule(v));
  }
  if (list.empty()) return 0;  // the module sends no statement then
  const UString call = TakeFuzzText(in, 512);
  const UString sql = UpdateStatement(list, call);

  TCallbookUpdate parsed;
  try {
    parsed = ParseCallbookUpdate(sql);
  } catch (const EHostError&) {
    __builtin_trap();  // the host refused a statement the module built
  }
  if (parsed.Columns != columns || parsed.Values.size() != values.size()) __builtin_trap();
  for (std::size_t i = 0; i < values.size(); ++i) {
    const TCallbookValue& v = parsed.Values[i];
    if (IsBooleanColumn(columns[i])) {
      if (!v.IsBoolean || !v.Boolean) __builtin_trap();
    } else if (v.IsBoolean || v.Text != values[i]) {
      __builtin_trap();
    }
  }
  if (parsed.Call != AfterQuoteRule(call)) __builtin_trap();
  return 0;
}
