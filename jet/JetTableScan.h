// Reading every live row of one table through libmdb, checking on the way what libmdb
// itself leaves unchecked in a damaged file. Used by the layer's own sources only.
#pragma once

#include <functional>
#include <vector>

#include "jet/JetMdbHandle.h"
#include "platform/UStrings.h"

class TJetTableScan {
 public:
  // Reads the definition and the columns of the table whose definition lies on page.
  // Raises EDatabaseError naming file and table when they cannot be read.
  TJetTableScan(TJetConnection::THandle& handle, const UString& file, const UString& table,
                std::uint32_t page);

  unsigned ColumnCount() const { return unsigned(FColumns.size()); }
  const MdbColumn& Column(unsigned i) const { return *FColumns[i]; }
  // The row count that the table's definition records.
  std::uint32_t RecordedRows() const { return FTable->num_rows; }
  // The index of the column with this name (case-insensitive, ASCII), or -1.
  int FindColumn(UStringView name) const;
  UString ColumnName(unsigned i) const;

  // Calls onRow once per live row, in table order, with one field per column (indexed by
  // column); every field's bytes lie within Page(). Raises EDatabaseError when a row
  // cannot be read or fewer or more rows turn up than the definition records.
  void ForEachRow(const std::function<void(const MdbField* fields)>& onRow);
  // The data page that holds the current row.
  const unsigned char* Page() const { return FHandle.Mdb->pg_buf; }
  MdbHandle* Mdb() const { return FHandle.Mdb.get(); }
  bool Jet4() const { return FHandle.Version == 4; }

 private:
  [[noreturn]] void Damaged(UStringView what) const;

  TJetConnection::THandle& FHandle;
  const UString& FFile;
  UString FName;
  MdbCatalogEntry FEntry{};  // libmdb's table definition points at it
  MdbTableDefPtr FTable;
  std::vector<MdbColumn*> FColumns;
  std::vector<MdbField> FFields;
};

// Appends a text column's stored bytes as UTF-16: Jet 4 text is UTF-16LE, possibly in
// its compressed form; Jet 3 text is in the ANSI code page.
void AppendJetText(std::vector<char16_t>& out, const unsigned char* p, std::size_t n, bool jet4);
