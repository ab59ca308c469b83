// A read query on a TJetConnection: runs SELECT * FROM <table> [ORDER BY <column>], loads
// every row once, and then answers record counts, field values and Locate from memory.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jet/JetColumn.h"
#include "jet/JetField.h"
#include "jet/JetHashIndex.h"
#include "platform/UStrings.h"

class TJetConnection;
struct TJetSelect;

class TJetQuery {
 public:
  static constexpr std::uint32_t NoRow = UINT32_MAX;

  // The connection must outlive every Open of the query; the loaded rows do not depend on
  // it once Open has returned.
  explicit TJetQuery(TJetConnection& connection);
  ~TJetQuery();
  TJetQuery(const TJetQuery&) = delete;
  TJetQuery& operator=(const TJetQuery&) = delete;

  const UString& SQL() const { return FSQL; }
  // Takes effect at the next Open.
  void SetSQL(UStringView sql) { FSQL = UString(sql); }

  // Closes the query, then runs its SQL on the open connection and loads all rows. With
  // ORDER BY the rows are sorted stably by that column: NULL first, then by text compared
  // after folding ASCII letters to lower case, code unit by code unit; rows that compare
  // equal keep their table order. The first row becomes current. Raises EDatabaseError
  // when the connection is closed, the SQL is not of that form, the table or the ORDER BY
  // column does not exist, or the table cannot be read completely.
  void Open();
  // Frees the loaded rows; harmless when closed.
  void Close() noexcept;
  bool Active() const { return FActive; }

  // The following raise EDatabaseError on a closed query.
  std::uint32_t RecordCount() const;
  // Makes the first row, in query order, whose column value equals value exactly (whole
  // value, case-sensitive) the current row and returns true; returns false and leaves the
  // current row alone when no row matches. NULL matches nothing. The first Locate on a
  // column builds a hash index of it, which later calls reuse.
  bool Locate(UStringView column, UStringView value);
  // The field of the column whose name matches case-insensitively (ASCII); raises
  // EDatabaseError "Field 'Name' not found" when there is none. The reference stays valid
  // until the query closes, and it always reads the current row.
  TJetField& FieldByName(UStringView name);
  // As FieldByName, but null when the column does not exist.
  TJetField* FindField(UStringView name);
  std::uint32_t FieldCount() const;
  TJetField& Fields(std::uint32_t index);

  // Moving through the rows in query order.
  void First();
  void Next();
  bool Eof() const;
  // The current row's position in query order, from 0; NoRow when there is none.
  std::uint32_t RecNo() const;

  // The table row behind the current position; NoRow when there is none.
  std::uint32_t CurrentRow() const { return FPos < FOrder.size() ? FOrder[FPos] : NoRow; }

 private:
  void CheckActive() const;
  std::uint32_t ColumnIndex(UStringView name) const;
  void Load(const TJetSelect& select);
  static std::vector<std::uint32_t> SortedOrder(const TJetColumn& column);

  TJetConnection& FConnection;
  UString FSQL;
  bool FActive = false;
  std::vector<TJetColumn> FColumns;
  std::vector<TJetField> FFields;
  std::vector<std::uint32_t> FOrder;  // query position -> table row
  std::vector<std::unique_ptr<TJetHashIndex>> FIndexes;  // per column, built on demand
  std::uint32_t FPos = 0;
  mutable std::uint32_t FLastColumn = 0;
};
