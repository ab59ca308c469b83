#include "jet/JetQuery.h"

#include "jet/EDatabaseError.h"
#include "jet/JetConnection.h"
#include "jet/JetSelect.h"

TJetQuery::TJetQuery(TJetConnection& connection) : FConnection(connection) {}

TJetQuery::~TJetQuery() { Close(); }

void TJetQuery::Open() {
  Close();
  if (!FConnection.Connected())
    throw EDatabaseError(u"Cannot open the query: the database connection is not open.");
  const TJetSelect select = ParseJetSelect(FSQL);
  try {
    Load(select);
    if (!select.OrderBy.empty()) {
      const std::uint32_t key = ColumnIndex(select.OrderBy);
      if (key == NoRow)
        throw EDatabaseError(Format(u"Cannot sort by '%s': table '%s' has no such column.",
                                    {select.OrderBy, select.Table}));
      FOrder = SortedOrder(FColumns[key]);
      // The rows are stored again in query order, one column at a time, so that walking
      // the query and the rows an index finds in order read memory front to back
      // instead of jumping across the table for every field of every row.
      for (TJetColumn& c : FColumns) c = c.Reordered(FOrder);
      for (std::uint32_t i = 0; i < FOrder.size(); ++i) FOrder[i] = i;
    } else {
      const std::uint32_t rows = FColumns.empty() ? 0 : FColumns[0].RowCount();
      FOrder.resize(rows);
      for (std::uint32_t i = 0; i < rows; ++i) FOrder[i] = i;
    }
    FFields.reserve(FColumns.size());
    for (std::uint32_t i = 0; i < FColumns.size(); ++i) FFields.emplace_back(*this, FColumns[i], i);
    FIndexes.resize(FColumns.size());
  } catch (...) {
    Close();
    throw;
  }
  FPos = 0;
  FActive = true;
}

void TJetQuery::Close() noexcept {
  FActive = false;
  FIndexes.clear();
  FFields.clear();
  FOrder.clear();
  FOrder.shrink_to_fit();
  FColumns.clear();
  FColumns.shrink_to_fit();
  FPos = 0;
}

void TJetQuery::CheckActive() const {
  if (!FActive) throw EDatabaseError(u"Cannot perform this operation on a closed dataset");
}

std::uint32_t TJetQuery::ColumnIndex(UStringView name) const {
  // The run asks for the same few names row after row; try the last hit first.
  if (FLastColumn < FColumns.size() && SameTextAscii(FColumns[FLastColumn].Name(), name))
    return FLastColumn;
  for (std::uint32_t i = 0; i < FColumns.size(); ++i)
    if (SameTextAscii(FColumns[i].Name(), name)) return FLastColumn = i;
  return NoRow;
}

std::uint32_t TJetQuery::RecordCount() const {
  CheckActive();
  return std::uint32_t(FOrder.size());
}

bool TJetQuery::Locate(UStringView column, UStringView value) {
  CheckActive();
  const std::uint32_t col = ColumnIndex(column);
  if (col == NoRow) throw EDatabaseError(Format(u"Field '%s' not found", {column}));
  if (!FIndexes[col]) FIndexes[col] = std::make_unique<TJetHashIndex>(FColumns[col], FOrder);
  const std::uint32_t pos = FIndexes[col]->Find(value);
  if (pos == TJetHashIndex::NotFound) return false;
  FPos = pos;
  return true;
}

TJetField* TJetQuery::FindField(UStringView name) {
  CheckActive();
  const std::uint32_t col = ColumnIndex(name);
  return col == NoRow ? nullptr : &FFields[col];
}

TJetField& TJetQuery::FieldByName(UStringView name) {
  if (TJetField* field = FindField(name)) return *field;
  throw EDatabaseError(Format(u"Field '%s' not found", {name}));
}

std::uint32_t TJetQuery::FieldCount() const {
  CheckActive();
  return std::uint32_t(FFields.size());
}

TJetField& TJetQuery::Fields(std::uint32_t index) {
  CheckActive();
  if (index >= FFields.size())
    throw EDatabaseError(Format(u"Field index %u out of range", {index}));
  return FFields[index];
}

void TJetQuery::First() {
  CheckActive();
  FPos = 0;
}

void TJetQuery::Next() {
  CheckActive();
  if (FPos < FOrder.size()) ++FPos;
}

bool TJetQuery::Eof() const {
  CheckActive();
  return FPos >= FOrder.size();
}

std::uint32_t TJetQuery::RecNo() const {
  CheckActive();
  return FPos < FOrder.size() ? FPos : NoRow;
}
