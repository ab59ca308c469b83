// A light handle on one column of an open query, reading the query's current row.
#pragma once

#include <cstdint>

#include "platform/UStrings.h"

class TJetColumn;
class TJetQuery;

class TJetField {
 public:
  TJetField(const TJetQuery& query, const TJetColumn& column, std::uint32_t index)
      : FQuery(&query), FColumn(&column), FIndex(index) {}

  const UString& FieldName() const;
  // The column's position in the table, from 0.
  std::uint32_t Index() const { return FIndex; }
  // The column's TJetDataType.
  int DataType() const;

  // True when the current row holds no value in this column, or there is no current row.
  bool IsNull() const;
  // The current row's value as text; empty for NULL. Text and memo columns give their
  // text; whole numbers are decimal; dates read "yyyy-mm-dd hh:nn:ss"; Booleans "True" or
  // "False"; fixed binary is upper-case hexadecimal.
  UString AsString() const { return UString(AsView()); }
  // The same text without a copy; valid until the query closes.
  UStringView AsView() const;

 private:
  const TJetQuery* FQuery;
  const TJetColumn* FColumn;
  std::uint32_t FIndex;
};
