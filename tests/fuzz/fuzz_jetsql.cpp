// The reference host's parser of the plug-in's Jet SQL on arbitrary statements (UTF-16
// from the input's bytes). Anything it cannot parse must fail with EHostError; what it
// accepts must be well formed.
#include <cstddef>
#include <cstdint>

#include "host/HostFaults.h"
#include "host/JetSql.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  UString sql(size / 2, u'\0');
  for (std::size_t i = 0; i < sql.size(); ++i) sql[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
  try {
    TCallbookUpdate u = ParseCallbookUpdate(sql);
    if (u.Columns.empty() || u.Columns.size() != u.Values.size() ||
        u.Columns.size() > static_cast<std::size_t>(kCallbookColumnCount))
      __builtin_trap();
    for (std::size_t i = 0; i < u.Columns.size(); ++i)
      if (IsBooleanColumn(u.Columns[i]) != u.Values[i].IsBoolean) __builtin_trap();
  } catch (const EHostError&) {
  }
  try {
    TCallbookSelect s = ParseCallbookSelect(sql);
    (void)s;
  } catch (const EHostError&) {
  }
  return 0;
}
