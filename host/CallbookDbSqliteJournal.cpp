// The SQLite callbook's journal and preview. Changed values are caught by temporary
// triggers on this connection's CALLBOOK, one per column, so they are written by the
// statement that changes them, in its transaction, and cost no second lookup.
//
// JOURNAL_RUN holds one row per run; JOURNAL_CHANGE one row per changed value, with the
// callbook row's rowid, its callsign, the column's name and the value before and after.
// The tables are made by the first run, so a callbook that was never updated, or only
// previewed, is never written.
#include <algorithm>
#include <unordered_map>

#include "host/CallbookDbSqlite.h"
#include "host/HostFaults.h"
#include "platform/Finally.h"

namespace {

constexpr const char* kPreviewTable = "ZPREVIEW_CHANGE";
constexpr const char* kJournalTable = "JOURNAL_CHANGE";

struct TValueFree {
  void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
using TValue = std::unique_ptr<sqlite3_value, TValueFree>;

TValue Dup(sqlite3_value* v) {
  TValue copy(sqlite3_value_dup(v));
  if (!copy) throw std::bad_alloc();
  return copy;
}

std::optional<UString> TextOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return Utf8ToUString(std::to_string(sqlite3_value_int64(v)));
    default: {
      auto* p = static_cast<const char16_t*>(sqlite3_value_text16(v));
      return UString(p ? p : u"", static_cast<std::size_t>(sqlite3_value_bytes16(v)) / 2);
    }
  }
}

std::optional<UString> ColumnText(sqlite3_stmt* s, int column) { return TextOf(sqlite3_column_value(s, column)); }

UString TextOr(sqlite3_stmt* s, int column) { return ColumnText(s, column).value_or(UString()); }

// Whether two stored values are the same: both NULL, the same number, or the same text.
bool SameValue(sqlite3_value* a, sqlite3_value* b) {
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (ta == SQLITE_NULL || tb == SQLITE_NULL) return ta == tb;
  if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) return sqlite3_value_int64(a) == sqlite3_value_int64(b);
  if ((ta == SQLITE_INTEGER) != (tb == SQLITE_INTEGER)) return false;
  const auto* pa = sqlite3_value_text(a);
  const int na = sqlite3_value_bytes(a);
  const auto* pb = sqlite3_value_text(b);
  const int nb = sqlite3_value_bytes(b);
  return na == nb && (na == 0 || std::equal(pa, pa + na, pb));
}

std::string ColumnName(int column) { return UStringToUtf8(CallbookColumnName(column)); }

// A change row's column, read back from a file that may have been edited by hand.
int ColumnOf(sqlite3_stmt* s, int index, const UString& path) {
  auto column = FindCallbookColumn(TextOr(s, index));
  if (!column) throw EHostError(E_FAIL, u"Callbook " + path + u": the journal names an unknown column " + TextOr(s, index));
  return *column;
}

void BindText(sqlite3_stmt* s, int index, UStringView text) {
  sqlite3_bind_text16(s, index, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

// The changes of a select whose columns are CALLBOOK_ROW, OMCALL, COL, OLD, NEW.
std::vector<TValueChange> ReadChanges(sqlite3_stmt* s, const TCallbookDb::TStore& st) {
  std::vector<TValueChange> changes;
  for (int rc; (rc = sqlite3_step(s)) != SQLITE_DONE;) {
    if (rc != SQLITE_ROW) st.Fail("cannot read the journal");
    changes.push_back({sqlite3_column_int64(s, 0), ColumnText(s, 1), ColumnOf(s, 2, st.FPath), ColumnText(s, 3),
                       ColumnText(s, 4)});
  }
  return changes;
}

}  // namespace

bool TCallbookDb::KeepsJournal() const { return true; }

bool TCallbookDb::Recording() const { return FStore->FRecording != TRecording::None; }

bool TCallbookDb::TStore::HasJournal() {
  TSqliteStatement s = Prepare("SELECT COUNT(*) FROM sqlite_schema WHERE type='table' AND name IN ('JOURNAL_RUN','JOURNAL_CHANGE')");
  if (sqlite3_step(s.get()) != SQLITE_ROW) Fail("cannot read the schema");
  return sqlite3_column_int(s.get(), 0) == 2;
}

void TCallbookDb::TStore::CreateCapture(const std::string& table, std::int64_t run) {
  for (int c = 0; c < kCallbookColumnCount; ++c) {
    const std::string col = ColumnName(c);
    Run("CREATE TEMP TRIGGER ZCAPTURE_" + col + " AFTER UPDATE OF " + col + " ON main.CALLBOOK WHEN OLD." + col +
        " IS NOT NEW." + col + " BEGIN INSERT INTO " + table + " (RUN,CALLBOOK_ROW,OMCALL,COL,OLD,NEW) VALUES (" +
        std::to_string(run) + ",OLD.rowid,OLD.OMCALL,'" + col + "',OLD." + col + ",NEW." + col + "); END");
  }
}

void TCallbookDb::TStore::DropCapture() {
  for (int c = 0; c < kCallbookColumnCount; ++c)
    sqlite3_exec(FDb.get(), ("DROP TRIGGER IF EXISTS temp.ZCAPTURE_" + ColumnName(c)).c_str(), nullptr, nullptr, nullptr);
}

std::int64_t TCallbookDb::BeginRun(UStringView kind, UStringView source, UStringView fields,
                                   std::optional<std::int64_t> undoes) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  st.Commit();
  st.Begin();
  try {
    st.Run("CREATE TABLE IF NOT EXISTS JOURNAL_RUN (RUN INTEGER PRIMARY KEY, KIND TEXT NOT NULL, STARTED TEXT NOT NULL, "
           "ENDED TEXT, SOURCE TEXT, FIELDS TEXT, RESULT TEXT, STATEMENTS INTEGER NOT NULL DEFAULT 0, "
           "ROWS_CHANGED INTEGER NOT NULL DEFAULT 0, VALUES_CHANGED INTEGER NOT NULL DEFAULT 0, UNDOES INTEGER)");
    st.Run("CREATE TABLE IF NOT EXISTS JOURNAL_CHANGE (ID INTEGER PRIMARY KEY, RUN INTEGER NOT NULL, "
           "CALLBOOK_ROW INTEGER NOT NULL, OMCALL TEXT, COL TEXT NOT NULL, OLD, NEW)");
    st.Run("CREATE INDEX IF NOT EXISTS JOURNAL_CHANGE_RUN ON JOURNAL_CHANGE (RUN)");
    TSqliteStatement ins = st.Prepare(
        "INSERT INTO JOURNAL_RUN (KIND,STARTED,SOURCE,FIELDS,UNDOES) VALUES (?1,datetime('now','localtime'),?2,?3,?4)");
    BindText(ins.get(), 1, kind);
    BindText(ins.get(), 2, source);
    BindText(ins.get(), 3, fields);
    if (undoes) sqlite3_bind_int64(ins.get(), 4, *undoes);
    st.Step(ins.get(), "cannot record the run");
    st.FRun = sqlite3_last_insert_rowid(st.FDb.get());
    st.CreateCapture(kJournalTable, st.FRun);
    st.Commit();
  } catch (...) {
    st.Rollback();
    st.DropCapture();
    throw;
  }
  st.FRecording = TRecording::Journal;
  return st.FRun;
}

TColumnCounts TCallbookDb::EndRun(bool succeeded, std::int64_t statements, std::int64_t rowsChanged) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::Journal) throw EHostError(E_FAIL, u"Callbook " + FPath + u": no run is open.");
  TryFinally(
      [&] {
        st.Begin();
        TSqliteStatement end = st.Prepare(
            "UPDATE JOURNAL_RUN SET ENDED=datetime('now','localtime'),RESULT=?2,STATEMENTS=?3,ROWS_CHANGED=?4,"
            "VALUES_CHANGED=(SELECT COUNT(*) FROM JOURNAL_CHANGE WHERE RUN=?1) WHERE RUN=?1");
        sqlite3_bind_int64(end.get(), 1, st.FRun);
        BindText(end.get(), 2, succeeded ? u"succeeded" : u"failed");
        sqlite3_bind_int64(end.get(), 3, statements);
        sqlite3_bind_int64(end.get(), 4, rowsChanged);
        st.Step(end.get(), "cannot record the end of the run");
        st.Commit();
      },
      [&] {
        st.DropCapture();
        st.FRecording = TRecording::None;
      });

  TColumnCounts counts{};
  TSqliteStatement count = st.Prepare("SELECT COL,COUNT(*) FROM JOURNAL_CHANGE WHERE RUN=?1 GROUP BY COL");
  sqlite3_bind_int64(count.get(), 1, st.FRun);
  for (int rc; (rc = sqlite3_step(count.get())) != SQLITE_DONE;) {
    if (rc != SQLITE_ROW) st.Fail("cannot count the run's changes");
    counts[ColumnOf(count.get(), 0, FPath)] += sqlite3_column_int64(count.get(), 1);
  }
  return counts;
}

void TCallbookDb::BeginPreview() {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  st.Commit();
  try {
    st.Run(std::string("CREATE TEMP TABLE ") + kPreviewTable +
           " (ID INTEGER PRIMARY KEY, RUN INTEGER, CALLBOOK_ROW INTEGER, OMCALL, COL TEXT, OLD, NEW)");
    st.CreateCapture(kPreviewTable, 0);
    st.Begin();
  } catch (...) {
    st.DropCapture();
    sqlite3_exec(st.FDb.get(), "DROP TABLE IF EXISTS temp.ZPREVIEW_CHANGE", nullptr, nullptr, nullptr);
    throw;
  }
  st.FRecording = TRecording::Preview;
}

std::vector<TValueChange> TCallbookDb::EndPreview() {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::Preview) throw EHostError(E_FAIL, u"Callbook " + FPath + u": no preview is open.");
  return TryFinally(
      [&] {
        TSqliteStatement s =
            st.Prepare(std::string("SELECT CALLBOOK_ROW,OMCALL,COL,OLD,NEW FROM ") + kPreviewTable + " ORDER BY ID");
        return ReadChanges(s.get(), st);
      },
      [&] {
        st.FRecording = TRecording::None;
        st.Rollback();
        st.DropCapture();
        sqlite3_exec(st.FDb.get(), "DROP TABLE IF EXISTS temp.ZPREVIEW_CHANGE", nullptr, nullptr, nullptr);
      });
}

std::vector<TJournalRun> TCallbookDb::Runs() {
  TStore& st = *FStore;
  std::vector<TJournalRun> runs;
  if (!st.HasJournal()) return runs;
  TSqliteStatement s = st.Prepare(
      "SELECT RUN,KIND,STARTED,ENDED,SOURCE,FIELDS,RESULT,STATEMENTS,ROWS_CHANGED,VALUES_CHANGED,UNDOES "
      "FROM JOURNAL_RUN ORDER BY RUN DESC");
  for (int rc; (rc = sqlite3_step(s.get())) != SQLITE_DONE;) {
    if (rc != SQLITE_ROW) st.Fail("cannot read the journal");
    TJournalRun& r = runs.emplace_back();
    r.Number = sqlite3_column_int64(s.get(), 0);
    r.Kind = TextOr(s.get(), 1);
    r.Started = TextOr(s.get(), 2);
    r.Ended = TextOr(s.get(), 3);
    r.Source = TextOr(s.get(), 4);
    r.Fields = TextOr(s.get(), 5);
    r.Result = TextOr(s.get(), 6);
    r.Statements = sqlite3_column_int64(s.get(), 7);
    r.RowsChanged = sqlite3_column_int64(s.get(), 8);
    r.ValuesChanged = sqlite3_column_int64(s.get(), 9);
    if (sqlite3_column_type(s.get(), 10) != SQLITE_NULL) r.Undoes = sqlite3_column_int64(s.get(), 10);
  }
  return runs;
}

std::vector<TValueChange> TCallbookDb::Changes(std::int64_t run) {
  TStore& st = *FStore;
  const auto runs = Runs();
  if (std::none_of(runs.begin(), runs.end(), [&](const TJournalRun& r) { return r.Number == run; }))
    throw EHostError(E_INVALIDARG, u"The journal holds no run " + Utf8ToUString(std::to_string(run)) + u".");
  TSqliteStatement s = st.Prepare("SELECT CALLBOOK_ROW,OMCALL,COL,OLD,NEW FROM JOURNAL_CHANGE WHERE RUN=?1 ORDER BY ID");
  sqlite3_bind_int64(s.get(), 1, run);
  return ReadChanges(s.get(), st);
}

namespace {

// What a run did to one row: for each column it changed, the value before its first
// change and after its last.
struct TRowChange {
  std::int64_t Row = 0;
  TValue Call;
  struct TColumn {
    int Column;
    TValue Before, After;
  };
  std::vector<TColumn> Columns;
};

// The newest update run whose changes are in place: an undo takes its run back, and an
// undo of that undo puts the run back again.
std::optional<std::int64_t> NewestStanding(const std::vector<TJournalRun>& newestFirst) {
  std::unordered_map<std::int64_t, bool> undone;
  std::unordered_map<std::int64_t, const TJournalRun*> byNumber;
  for (const TJournalRun& r : newestFirst) byNumber[r.Number] = &r;
  for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
    if (it->Kind != u"undo" || !it->Undoes || it->Result != u"succeeded") continue;
    undone[*it->Undoes] = true;
    auto target = byNumber.find(*it->Undoes);
    if (target != byNumber.end() && target->second->Kind == u"undo" && target->second->Undoes)
      undone[*target->second->Undoes] = false;
  }
  for (const TJournalRun& r : newestFirst)
    if (r.Kind == u"update" && !undone[r.Number]) return r.Number;
  return std::nullopt;
}

}  // namespace

TUndoOutcome TCallbookDb::Undo(std::optional<std::int64_t> run) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  const std::vector<TJournalRun> runs = Runs();
  if (!run) run = NewestStanding(runs);
  if (!run) throw EHostError(E_FAIL, u"The journal holds no update run to undo.");
  auto target = std::find_if(runs.begin(), runs.end(), [&](const TJournalRun& r) { return r.Number == *run; });
  if (target == runs.end())
    throw EHostError(E_INVALIDARG, u"The journal holds no run " + Utf8ToUString(std::to_string(*run)) + u".");

  // The run's changes, gathered per row in the order the rows were first changed.
  std::vector<TRowChange> rows;
  {
    std::unordered_map<std::int64_t, std::size_t> index;
    TSqliteStatement s =
        st.Prepare("SELECT CALLBOOK_ROW,OMCALL,COL,OLD,NEW FROM JOURNAL_CHANGE WHERE RUN=?1 ORDER BY ID");
    sqlite3_bind_int64(s.get(), 1, *run);
    for (int rc; (rc = sqlite3_step(s.get())) != SQLITE_DONE;) {
      if (rc != SQLITE_ROW) st.Fail("cannot read the journal");
      const std::int64_t id = sqlite3_column_int64(s.get(), 0);
      auto [at, fresh] = index.emplace(id, rows.size());
      if (fresh) rows.push_back({id, Dup(sqlite3_column_value(s.get(), 1)), {}});
      TRowChange& row = rows[at->second];
      const int column = ColumnOf(s.get(), 2, FPath);
      auto c = std::find_if(row.Columns.begin(), row.Columns.end(), [&](const auto& x) { return x.Column == column; });
      if (c == row.Columns.end())
        row.Columns.push_back({column, Dup(sqlite3_column_value(s.get(), 3)), Dup(sqlite3_column_value(s.get(), 4))});
      else
        c->After = Dup(sqlite3_column_value(s.get(), 4));
    }
  }

  TUndoOutcome out;
  out.Undone = *run;
  out.Run = BeginRun(u"undo", u"run " + Utf8ToUString(std::to_string(*run)), target->Fields, *run);
  try {
    st.Begin();
    TSqliteStatement read = st.Prepare(
        "SELECT OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,Use_BUREAU FROM CALLBOOK WHERE rowid=?1");
    std::array<TSqliteStatement, kCallbookColumnCount> write;
    for (const TRowChange& row : rows) {
      sqlite3_bind_int64(read.get(), 1, row.Row);
      const int rc = sqlite3_step(read.get());
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) st.Fail("cannot read the callbook");
      std::optional<TUndoConflict> conflict;
      if (rc == SQLITE_DONE) {
        conflict = TUndoConflict{row.Row, TextOf(row.Call.get()), 0, {}, {}, true};
      } else {
        // A row that no longer holds the run's callsign is another row now.
        const bool callChanged = std::any_of(row.Columns.begin(), row.Columns.end(),
                                             [](const auto& c) { return c.Column == 0; });
        if (!callChanged && !SameValue(sqlite3_column_value(read.get(), 0), row.Call.get()))
          conflict = TUndoConflict{row.Row, TextOf(row.Call.get()), 0, TextOf(row.Call.get()), ColumnText(read.get(), 0)};
        for (const auto& c : row.Columns) {
          if (conflict) break;
          if (!SameValue(sqlite3_column_value(read.get(), c.Column), c.After.get()))
            conflict = TUndoConflict{row.Row, ColumnText(read.get(), 0), c.Column, TextOf(c.After.get()),
                                     ColumnText(read.get(), c.Column)};
        }
      }
      sqlite3_reset(read.get());
      if (conflict) {
        out.Conflicts.push_back(std::move(*conflict));
        continue;
      }
      for (const auto& c : row.Columns) {
        TSqliteStatement& w = write[c.Column];
        if (!w) w = st.Prepare("UPDATE CALLBOOK SET " + ColumnName(c.Column) + "=?1 WHERE rowid=?2");
        sqlite3_bind_value(w.get(), 1, c.Before.get());
        sqlite3_bind_int64(w.get(), 2, row.Row);
        st.Step(w.get(), "cannot restore a value");
        ++out.ValuesRestored;
      }
      ++out.RowsRestored;
    }
  } catch (...) {
    // All or nothing: the undo's changes go, and the run is recorded as failed.
    st.Rollback();
    try {
      EndRun(false, 0, 0);
    } catch (...) {
    }
    throw;
  }
  EndRun(true, out.ValuesRestored, out.RowsRestored);
  return out;
}
