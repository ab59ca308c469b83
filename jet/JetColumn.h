// One column of a loaded query result, stored compactly: all values of the column in
// one UTF-16 arena with 32-bit offsets, and a bitmap of the NULL rows.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/UStrings.h"

// Jet's codes for the kinds of column, as its files record them.
enum TJetDataType : int {
  jdtBoolean = 0x01,
  jdtByte = 0x02,
  jdtInteger = 0x03,
  jdtLongInteger = 0x04,
  jdtCurrency = 0x05,
  jdtSingle = 0x06,
  jdtDouble = 0x07,
  jdtDateTime = 0x08,
  jdtBinary = 0x09,
  jdtText = 0x0A,
  jdtLongBinary = 0x0B,
  jdtMemo = 0x0C,
  jdtGuid = 0x0F,
  jdtNumeric = 0x10,
};

class TJetColumn {
 public:
  TJetColumn(UStringView name, int dataType) : FName(name), FDataType(dataType) {}

  const UString& Name() const { return FName; }
  // The column's TJetDataType.
  int DataType() const { return FDataType; }
  std::uint32_t RowCount() const { return std::uint32_t(FEnds.size()); }

  bool IsNull(std::uint32_t row) const { return (FNulls[row >> 6] >> (row & 63)) & 1; }
  // The row's text; empty for NULL.
  UStringView Text(std::uint32_t row) const {
    const std::uint32_t begin = row ? FEnds[row - 1] : 0;
    return UStringView(FArena.data() + begin, FEnds[row] - begin);
  }

  // Building, row by row: append the value's code units to Arena(), then end the row.
  std::vector<char16_t>& Arena() { return FArena; }
  // Ends the row whose text was appended; raises EDatabaseError when the column's text
  // outgrows 32-bit offsets.
  void EndRow(bool isNull);
  void Reserve(std::uint32_t rows, std::size_t units);
  // Returns unused capacity once loading is done.
  void Shrink();
  // The same column with its rows in the given order: row i of the result is row
  // order[i] of this one. Every entry of order must be a row of this column.
  TJetColumn Reordered(const std::vector<std::uint32_t>& order) const;

 private:
  UString FName;
  int FDataType;
  std::vector<char16_t> FArena;
  std::vector<std::uint32_t> FEnds;  // end offset of each row's text
  std::vector<std::uint64_t> FNulls;
};
