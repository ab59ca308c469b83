// The callbook in a TSV file, as the host's export writes it: the rows live in memory,
// and committing writes them all back through the safe whole-file replacement, so the
// file always holds either the old or the new callbook.
#include "host/CallbookDb.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/CallbookFile.h"
#include "host/HostFaults.h"
#include "platform/FileReplace.h"
#include "platform/Kernel.h"

namespace {
constexpr auto kCommitInterval = std::chrono::seconds(5);  // every commit rewrites the whole file

// A stored row: each column's text in UTF-8, nothing for NULL; Use_BUREAU is "1" or "0".
using TStoredRow = std::array<std::optional<std::string>, kCallbookColumnCount>;
constexpr int kCall = static_cast<int>(TCallbookColumn::OMCALL);

// The values changed per column, and of them those that did not fill or lengthen it.
void CountChanges(const std::vector<TValueChange>& changes, TColumnCounts& counts, TColumnCounts& otherwise) {
  counts = otherwise = {};
  for (const TValueChange& c : changes) {
    ++counts[c.Column];
    if (!FillsOrLengthens(c.Column, c.Old, c.New)) ++otherwise[c.Column];
  }
}
}  // namespace

struct TCallbookDb::TStore {
  std::vector<TStoredRow> Rows;  // in the order they were added
  std::unordered_multimap<std::string, std::size_t> ByCall;
  bool Loading = false;
  bool Dirty = false;
  // A run or preview: its changed values, and for a preview the rows it started from.
  bool Capturing = false;
  std::vector<TValueChange> Captured;
  std::optional<std::vector<TStoredRow>> PreviewFrom;
  std::chrono::steady_clock::time_point DirtySince;

  void Add(TStoredRow row) {
    if (row[kCall]) ByCall.emplace(*row[kCall], Rows.size());
    Rows.push_back(std::move(row));
  }
  // The rows of a callsign, in the order they were added.
  std::vector<std::size_t> RowsOf(const std::string& call) const {
    std::vector<std::size_t> found;
    auto [from, to] = ByCall.equal_range(call);
    for (auto it = from; it != to; ++it) found.push_back(it->second);
    std::sort(found.begin(), found.end());
    return found;
  }
  void Reindex() {
    ByCall.clear();
    for (std::size_t i = 0; i < Rows.size(); ++i)
      if (Rows[i][kCall]) ByCall.emplace(*Rows[i][kCall], i);
  }
};

struct TCallbookDb::TCursor::TState {
  std::vector<std::size_t> Order;  // the rows the walk visits
  std::size_t Pos = 0;
  mutable std::array<UString, kCallbookColumnCount> Texts;  // UTF-16 copies of the current row

  // The current row's column. Rows are never removed, so the walk's row numbers stay
  // valid while statements and imports change the store.
  const std::optional<std::string>& Cell(const TStore& st, int column) const { return st.Rows[Order[Pos]][column]; }
};

const char16_t* const TCallbookDb::FileName = u"callbook.tsv";

TCallbookDb::TCallbookDb(UStringView path) : FPath(path), FStore(std::make_unique<TStore>()) {
  if (!FileExists(FPath)) {
    // Made at once, so that a folder the host cannot write to shows now, not at exit.
    FStore->Dirty = true;
    Commit();
    return;
  }
  FStore->Loading = true;
  try {
    std::error_code ec;
    if (std::filesystem::file_size(std::filesystem::path(FPath), ec) != 0)
      ImportCallbookFile(*this, FPath, TCallRule::Optional);
  } catch (const Exception& e) {
    throw EHostError(E_FAIL, u"Callbook " + FPath + u" cannot be read: " + e.Message);
  }
  FStore->Loading = false;
}

TCallbookDb::~TCallbookDb() {
  try {
    Commit();
  } catch (...) {
  }
}

void TCallbookDb::Commit() {
  if (!FStore->Dirty || FStore->PreviewFrom) return;
  std::ostringstream text;
  TCursor all(*this, {});
  ExportCallbookTsv(all, text);
  try {
    ReplaceFileContents(FPath, text.str());
  } catch (const Exception& e) {
    throw EHostError(E_FAIL, u"Callbook " + FPath + u": cannot save: " + e.Message);
  }
  FStore->Dirty = false;
}

int TCallbookDb::Exec(const TCallbookUpdate& update) {
  TStore& st = *FStore;
  std::vector<std::size_t> rows = st.RowsOf(UStringToUtf8(update.Call));
  if (rows.empty()) return 0;
  // Checked before anything changes: a statement changes all its rows or none.
  std::vector<std::string> values;
  bool callChanged = false;
  for (std::size_t i = 0; i < update.Columns.size(); ++i) {
    const TCallbookValue& v = update.Values.at(i);
    int c = update.Columns[i];
    if (v.IsBoolean)
      values.push_back(v.Boolean ? "1" : "0");
    else if (IsBooleanColumn(c) && v.Text != u"0" && v.Text != u"1")
      throw EHostError(E_FAIL, u"Callbook " + FPath + u": cannot update: Use_BUREAU takes 0 or 1");
    else
      values.push_back(UStringToUtf8(v.Text));
    callChanged = callChanged || c == kCall;
  }
  for (std::size_t r : rows)
    for (std::size_t i = 0; i < update.Columns.size(); ++i) {
      std::optional<std::string>& cell = st.Rows[r][update.Columns[i]];
      if (st.Capturing && cell != values[i])
        st.Captured.push_back({static_cast<std::int64_t>(r) + 1, st.Rows[r][kCall] ? Utf8ToUString(*st.Rows[r][kCall]) : std::optional<UString>(),
                               update.Columns[i], cell ? Utf8ToUString(*cell) : std::optional<UString>(),
                               Utf8ToUString(values[i])});
      cell = values[i];
    }
  if (callChanged) st.Reindex();
  if (!st.Dirty) {
    st.Dirty = true;
    st.DirtySince = std::chrono::steady_clock::now();
  }
  if (std::chrono::steady_clock::now() - st.DirtySince >= kCommitInterval) Commit();
  return static_cast<int>(rows.size());
}

// ---- Journal and preview: the changes of a run are counted, but not kept on disk ----

bool TCallbookDb::KeepsJournal() const { return false; }

bool TCallbookDb::Recording() const { return FStore->Capturing; }

std::int64_t TCallbookDb::BeginRun(UStringView, UStringView, UStringView, std::optional<std::int64_t>) {
  if (FStore->Capturing) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  Commit();
  FStore->Captured.clear();
  FStore->Capturing = true;
  return 0;
}

void TCallbookDb::SetRunChoices(UStringView, UStringView) {}

TColumnCounts TCallbookDb::EndRun(bool, std::int64_t, std::int64_t, TColumnCounts* otherwise) {
  TStore& st = *FStore;
  if (!st.Capturing || st.PreviewFrom) throw EHostError(E_FAIL, u"Callbook " + FPath + u": no run is open.");
  st.Capturing = false;
  TColumnCounts counts, other;
  CountChanges(st.Captured, counts, other);
  if (otherwise) *otherwise = other;
  st.Captured.clear();
  Commit();
  return counts;
}

void TCallbookDb::BeginPreview() {
  TStore& st = *FStore;
  if (st.Capturing) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  Commit();
  st.PreviewFrom = st.Rows;
  st.Captured.clear();
  st.Capturing = true;
}

void TChangeSet::ForEach(const std::function<bool(const TValueChange&)>& visit) const {
  for (const TValueChange& c : FList)
    if (!visit(c)) return;
}

TChangeSet TCallbookDb::EndPreview() {
  TStore& st = *FStore;
  if (!st.PreviewFrom) throw EHostError(E_FAIL, u"Callbook " + FPath + u": no preview is open.");
  st.Rows = std::move(*st.PreviewFrom);
  st.PreviewFrom.reset();
  st.Reindex();
  st.Dirty = false;
  st.Capturing = false;
  TChangeSet changes;
  changes.FList = std::exchange(st.Captured, {});
  CountChanges(changes.FList, changes.Counts, changes.Otherwise);
  return changes;
}

std::vector<TJournalRun> TCallbookDb::Runs() { return {}; }

std::vector<TValueChange> TCallbookDb::Changes(std::int64_t) {
  throw EHostError(E_NOTIMPL, u"Callbook " + FPath + u" keeps no journal of its runs.");
}

TUndoOutcome TCallbookDb::Undo(std::optional<std::int64_t>) {
  throw EHostError(E_NOTIMPL, u"Callbook " + FPath + u" keeps no journal of its runs, so no run can be undone.");
}

void TCallbookDb::Insert(const std::function<bool(TCallbookRow& row)>& next) {
  if (FStore->Capturing) throw EHostError(E_FAIL, u"Callbook " + FPath + u": rows cannot be added while a run is open.");
  std::vector<TStoredRow> added;
  TCallbookRow row;
  while (next(row)) {
    TStoredRow& s = added.emplace_back();
    for (int c = 0; c < kCallbookColumnCount; ++c) {
      if (!row[c]) continue;
      s[c] = IsBooleanColumn(c) ? std::string(*row[c] == u"1" ? "1" : "0") : UStringToUtf8(*row[c]);
    }
  }
  TStore& st = *FStore;
  st.Rows.reserve(st.Rows.size() + added.size());
  for (TStoredRow& s : added) st.Add(std::move(s));
  if (st.Loading || added.empty()) return;
  st.Dirty = true;
  try {
    Commit();
  } catch (...) {
    // All or none: the rows that could not be saved are taken back.
    st.Rows.resize(st.Rows.size() - added.size());
    st.Reindex();
    throw;
  }
}

// ---- TCursor ----

TCallbookDb::TCursor::TCursor(TCallbookDb& db, const TCallbookSelect& select)
    : FDb(db), FSelect(select), FState(std::make_unique<TState>()) {
  First();
}

TCallbookDb::TCursor::~TCursor() = default;

void TCallbookDb::TCursor::First() {
  const TStore& st = *FDb.FStore;
  std::vector<std::size_t>& order = FState->Order;
  if (FSelect.Call) {
    order = st.RowsOf(UStringToUtf8(*FSelect.Call));
  } else {
    order.resize(st.Rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (FSelect.OrderByCall)
      // By the UTF-8 bytes, NULL first, equal callsigns in the order they were added.
      std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const auto& x = st.Rows[a][kCall];
        const auto& y = st.Rows[b][kCall];
        if (!x || !y) return !x && y;
        return *x < *y;
      });
  }
  FState->Pos = 0;
  FOnRow = !order.empty();
}

void TCallbookDb::TCursor::Next() {
  if (FOnRow) FOnRow = ++FState->Pos < FState->Order.size();
}

std::int64_t TCallbookDb::TCursor::Count() {
  if (!FCount)
    FCount = FSelect.Call ? static_cast<std::int64_t>(FDb.FStore->RowsOf(UStringToUtf8(*FSelect.Call)).size())
                          : static_cast<std::int64_t>(FDb.FStore->Rows.size());
  return *FCount;
}

bool TCallbookDb::TCursor::IsNull(int column) const {
  return !FOnRow || !FState->Cell(*FDb.FStore, column);
}

UStringView TCallbookDb::TCursor::Text(int column) const {
  if (IsNull(column)) return {};
  FState->Texts[column] = Utf8ToUString(*FState->Cell(*FDb.FStore, column));
  return FState->Texts[column];
}

std::string_view TCallbookDb::TCursor::Utf8(int column) const {
  if (IsNull(column)) return {};
  return *FState->Cell(*FDb.FStore, column);
}
