// The SQLite callbook's journal and preview. While a run or preview is open, SQLite
// reports every row an update is about to change, with its values before and after; the
// rows whose values differ are recorded right after the statement, in its transaction.
//
// JOURNAL_RUN holds one row per run, with the first and last JOURNAL_CHANGE id it wrote.
// JOURNAL_CHANGE holds one row per row a statement changed: the callbook row's rowid, its
// callsign, a bit per column that changed (bit 0 is OMCALL, in table order), and for each
// changed column the value before (OLD_<column>) and after (NEW_<column>); the columns of
// unchanged values hold NULL. One row per changed row, not per value, keeps the cost of a
// run's journal low. The tables are made by the first run, so a callbook that was never
// updated, or only previewed, is never written.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "host/CallbookDbSqlite.h"
#include "host/HostFaults.h"
#include "platform/Finally.h"

namespace {

constexpr const char* kPreviewTable = "ZPREVIEW_CHANGE";
constexpr const char* kJournalTable = "JOURNAL_CHANGE";

std::string ColumnName(int column) { return UStringToUtf8(CallbookColumnName(column)); }

// OLD_OMCALL,NEW_OMCALL,...,OLD_Use_BUREAU,NEW_Use_BUREAU
std::string ImageColumns() {
  std::string list;
  for (int c = 0; c < kCallbookColumnCount; ++c)
    list += (c ? ",OLD_" : "OLD_") + ColumnName(c) + ",NEW_" + ColumnName(c);
  return list;
}

// The change table's columns after ID: the run, the row, its callsign, the changed bits
// and the images.
std::string ChangeTableColumns() {
  std::string cols = "RUN INTEGER NOT NULL, CALLBOOK_ROW INTEGER NOT NULL, OMCALL TEXT, CHANGED INTEGER NOT NULL";
  for (int c = 0; c < kCallbookColumnCount; ++c) cols += ", OLD_" + ColumnName(c) + ", NEW_" + ColumnName(c);
  return cols;
}

// What ReadChanges reads, from table.
std::string SelectChanges(const char* table) {
  return "SELECT CALLBOOK_ROW,OMCALL,CHANGED," + ImageColumns() + " FROM " + table;
}

using TValue = TCallbookDb::TStore::TValue;

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


void BindText(sqlite3_stmt* s, int index, UStringView text) {
  sqlite3_bind_text16(s, index, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

// Whether column is among the changed bits of a change row.
bool Changed(std::int64_t bits, int column) { return (bits >> column & 1) != 0; }

// The values of the change rows a SelectChanges statement yields, one per changed column,
// in table order within a row.
std::vector<TValueChange> ReadChanges(sqlite3_stmt* s, const TCallbookDb::TStore& st) {
  std::vector<TValueChange> changes;
  for (int rc; (rc = sqlite3_step(s)) != SQLITE_DONE;) {
    if (rc != SQLITE_ROW) st.Fail("cannot read the journal");
    const std::int64_t bits = sqlite3_column_int64(s, 2);
    for (int c = 0; c < kCallbookColumnCount; ++c)
      if (Changed(bits, c))
        changes.push_back({sqlite3_column_int64(s, 0), ColumnText(s, 1), c, ColumnText(s, 3 + 2 * c),
                           ColumnText(s, 4 + 2 * c)});
  }
  return changes;
}

// The change rows of a run: from its first id on (to its last when it ended), and of the
// run, should another program's run have written between them.
std::string RunChanges(std::int64_t first, std::optional<std::int64_t> last, std::int64_t run) {
  std::string where = " WHERE ID>=" + std::to_string(first);
  if (last) where += " AND ID<=" + std::to_string(*last);
  return where + " AND RUN=" + std::to_string(run);
}

// The change rows of a run as RunChanges selects them, read from the run's row.
std::string RunChangesOf(const TCallbookDb::TStore& st, std::int64_t run) {
  TSqliteStatement s(nullptr);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(st.FDb.get(), "SELECT FIRST_CHANGE,LAST_CHANGE FROM JOURNAL_RUN WHERE RUN=?1", -1, &raw,
                         nullptr) != SQLITE_OK)
    st.Fail("cannot read the journal");
  s.reset(raw);
  sqlite3_bind_int64(raw, 1, run);
  if (sqlite3_step(raw) != SQLITE_ROW)
    throw EHostError(E_INVALIDARG, u"The journal holds no run " + Utf8ToUString(std::to_string(run)) + u".");
  std::optional<std::int64_t> last;
  if (sqlite3_column_type(raw, 1) != SQLITE_NULL) last = sqlite3_column_int64(raw, 1);
  return RunChanges(sqlite3_column_int64(raw, 0), last, run);
}

}  // namespace

bool TCallbookDb::KeepsJournal() const { return true; }

bool TCallbookDb::Recording() const { return FStore->FRecording != TRecording::None; }

bool TCallbookDb::TStore::HasJournal() {
  TSqliteStatement s = Prepare("SELECT COUNT(*) FROM sqlite_schema WHERE type='table' AND name IN ('JOURNAL_RUN','JOURNAL_CHANGE')");
  if (sqlite3_step(s.get()) != SQLITE_ROW) Fail("cannot read the schema");
  return sqlite3_column_int(s.get(), 0) == 2;
}

namespace {

// Keeps a value of a changed row; text and blobs go to the arena.
TCallbookDb::TStore::TPendingValue Keep(std::string& arena, sqlite3_value* v) {
  TCallbookDb::TStore::TPendingValue kept;
  kept.Type = sqlite3_value_type(v);
  switch (kept.Type) {
    case SQLITE_INTEGER:
      kept.Int = sqlite3_value_int64(v);
      break;
    case SQLITE_FLOAT:
      kept.Real = sqlite3_value_double(v);
      break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const void* p = kept.Type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v)) : sqlite3_value_blob(v);
      kept.Offset = arena.size();
      kept.Length = static_cast<std::size_t>(sqlite3_value_bytes(v));
      if (kept.Length) arena.append(static_cast<const char*>(p), kept.Length);
      break;
    }
    default:
      break;
  }
  return kept;
}

void Bind(sqlite3_stmt* s, int param, const TCallbookDb::TStore::TPendingValue& v, const std::string& arena) {
  switch (v.Type) {
    case SQLITE_INTEGER:
      sqlite3_bind_int64(s, param, v.Int);
      break;
    case SQLITE_FLOAT:
      sqlite3_bind_double(s, param, v.Real);
      break;
    case SQLITE_TEXT:
      sqlite3_bind_text(s, param, arena.data() + v.Offset, static_cast<int>(v.Length), SQLITE_STATIC);
      break;
    case SQLITE_BLOB:
      sqlite3_bind_blob(s, param, arena.data() + v.Offset, static_cast<int>(v.Length), SQLITE_STATIC);
      break;
    default:
      sqlite3_bind_null(s, param);
  }
}

// SQLite's report of a row about to change. Only updates of main.CALLBOOK count; the
// columns whose values differ are kept with both values. Nothing may raise through
// SQLite, so a failure only marks the capture as failed.
void BeforeChange(void* context, sqlite3* db, int op, const char* schema, const char* table, sqlite3_int64 row,
                  sqlite3_int64) {
  auto& st = *static_cast<TCallbookDb::TStore*>(context);
  if (op != SQLITE_UPDATE || std::strcmp(table, "CALLBOOK") != 0 || std::strcmp(schema, "main") != 0) return;
  try {
    TCallbookDb::TStore::TPendingChange change;
    sqlite3_value* call = nullptr;
    const std::size_t mark = st.FArena.size();
    for (int c = 0; c < kCallbookColumnCount; ++c) {
      sqlite3_value *before = nullptr, *after = nullptr;
      if (sqlite3_preupdate_old(db, c, &before) != SQLITE_OK || sqlite3_preupdate_new(db, c, &after) != SQLITE_OK)
        throw std::bad_alloc();
      if (c == 0) call = before;
      if (SameValue(before, after)) continue;
      change.Bits |= 1u << c;
      change.Old[c] = Keep(st.FArena, before);
      change.New[c] = Keep(st.FArena, after);
    }
    if (!change.Bits) {
      st.FArena.resize(mark);
      return;
    }
    change.Row = row;
    change.Call = Keep(st.FArena, call);
    st.FPending.push_back(change);
  } catch (...) {
    st.FCaptureFailed = true;
  }
}

}  // namespace

void TCallbookDb::TStore::CreateCapture(const std::string& table, std::int64_t run) {
  std::string params;
  for (int p = 1; p <= ImageParameter(kCallbookColumnCount - 1) + 1; ++p) params += (p > 1 ? ",?" : "?") + std::to_string(p);
  FRecordInsert = Prepare("INSERT INTO " + table + " (RUN,CALLBOOK_ROW,OMCALL,CHANGED," + ImageColumns() + ") VALUES (" +
                          params + ")");
  FRun = run;
  DiscardRecords();
  sqlite3_preupdate_hook(FDb.get(), BeforeChange, this);
}

void TCallbookDb::TStore::DropCapture() {
  sqlite3_preupdate_hook(FDb.get(), nullptr, nullptr);
  DiscardRecords();
  FRecordInsert.reset();
}

void TCallbookDb::TStore::DiscardRecords() {
  FPending.clear();
  FArena.clear();
  FCaptureFailed = false;
}

void TCallbookDb::TStore::FlushRecords() {
  if (FCaptureFailed) {
    DiscardRecords();
    Rollback();
    throw EHostError(E_OUTOFMEMORY, u"Callbook " + FPath +
                                        u": a change could not be recorded; the changes since the last commit were "
                                        u"taken back.");
  }
  sqlite3_stmt* s = FRecordInsert.get();
  try {
    for (const TPendingChange& change : FPending) {
      sqlite3_bind_int64(s, 1, FRun);
      sqlite3_bind_int64(s, 2, change.Row);
      Bind(s, 3, change.Call, FArena);
      sqlite3_bind_int64(s, 4, change.Bits);
      // Unchanged columns' images are NULL, as the bits say.
      for (int c = 0; c < kCallbookColumnCount; ++c) {
        Bind(s, ImageParameter(c), change.Old[c], FArena);
        Bind(s, ImageParameter(c) + 1, change.New[c], FArena);
      }
      Step(s, "cannot record a change");
    }
  } catch (...) {
    // A change without its record must not stay.
    DiscardRecords();
    Rollback();
    throw;
  }
  FPending.clear();
  FArena.clear();
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
           "ROWS_CHANGED INTEGER NOT NULL DEFAULT 0, VALUES_CHANGED INTEGER NOT NULL DEFAULT 0, UNDOES INTEGER, "
           "FIRST_CHANGE INTEGER NOT NULL, LAST_CHANGE INTEGER)");
    st.Run("CREATE TABLE IF NOT EXISTS JOURNAL_CHANGE (ID INTEGER PRIMARY KEY, " + ChangeTableColumns() + ")");
    // Ids only grow, so the run's change rows are those from the next id on.
    TSqliteStatement ins = st.Prepare(
        "INSERT INTO JOURNAL_RUN (KIND,STARTED,SOURCE,FIELDS,UNDOES,FIRST_CHANGE) VALUES "
        "(?1,datetime('now','localtime'),?2,?3,?4,(SELECT IFNULL(MAX(ID),0)+1 FROM JOURNAL_CHANGE))");
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
  TColumnCounts counts{};
  TryFinally(
      [&] {
        st.Begin();
        // The run's values per column, counted over its change rows.
        TSqliteStatement count =
            st.Prepare("SELECT CHANGED,COUNT(*) FROM JOURNAL_CHANGE" + RunChangesOf(st, st.FRun) + " GROUP BY CHANGED");
        std::int64_t values = 0;
        for (int rc; (rc = sqlite3_step(count.get())) != SQLITE_DONE;) {
          if (rc != SQLITE_ROW) st.Fail("cannot count the run's changes");
          const std::int64_t bits = sqlite3_column_int64(count.get(), 0), n = sqlite3_column_int64(count.get(), 1);
          for (int c = 0; c < kCallbookColumnCount; ++c)
            if (Changed(bits, c)) counts[c] += n, values += n;
        }
        TSqliteStatement end = st.Prepare(
            "UPDATE JOURNAL_RUN SET ENDED=datetime('now','localtime'),RESULT=?2,STATEMENTS=?3,ROWS_CHANGED=?4,"
            "VALUES_CHANGED=?5,LAST_CHANGE=(SELECT IFNULL(MAX(ID),0) FROM JOURNAL_CHANGE) WHERE RUN=?1");
        sqlite3_bind_int64(end.get(), 1, st.FRun);
        BindText(end.get(), 2, succeeded ? u"succeeded" : u"failed");
        sqlite3_bind_int64(end.get(), 3, statements);
        sqlite3_bind_int64(end.get(), 4, rowsChanged);
        sqlite3_bind_int64(end.get(), 5, values);
        st.Step(end.get(), "cannot record the end of the run");
        st.Commit();
      },
      [&] {
        st.DropCapture();
        st.FRecording = TRecording::None;
      });
  return counts;
}

void TCallbookDb::BeginPreview() {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  st.Commit();
  try {
    st.Run(std::string("CREATE TEMP TABLE ") + kPreviewTable + " (ID INTEGER PRIMARY KEY, " + ChangeTableColumns() + ")");
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
        TSqliteStatement s = st.Prepare(SelectChanges(kPreviewTable) + " ORDER BY ID");
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
  TSqliteStatement s = st.Prepare(SelectChanges(kJournalTable) + RunChangesOf(st, run) + " ORDER BY ID");
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
    TSqliteStatement s = st.Prepare(SelectChanges(kJournalTable) + RunChangesOf(st, *run) + " ORDER BY ID");
    for (int rc; (rc = sqlite3_step(s.get())) != SQLITE_DONE;) {
      if (rc != SQLITE_ROW) st.Fail("cannot read the journal");
      const std::int64_t id = sqlite3_column_int64(s.get(), 0);
      auto [at, fresh] = index.emplace(id, rows.size());
      if (fresh) rows.push_back({id, Dup(sqlite3_column_value(s.get(), 1)), {}});
      TRowChange& row = rows[at->second];
      const std::int64_t bits = sqlite3_column_int64(s.get(), 2);
      for (int column = 0; column < kCallbookColumnCount; ++column) {
        if (!Changed(bits, column)) continue;
        sqlite3_value* before = sqlite3_column_value(s.get(), 3 + 2 * column);
        sqlite3_value* after = sqlite3_column_value(s.get(), 4 + 2 * column);
        auto c = std::find_if(row.Columns.begin(), row.Columns.end(), [&](const auto& x) { return x.Column == column; });
        if (c == row.Columns.end())
          row.Columns.push_back({column, Dup(before), Dup(after)});
        else
          c->After = Dup(after);
      }
    }
    // In table order, so that rows setting the same columns share one statement.
    for (TRowChange& row : rows)
      std::sort(row.Columns.begin(), row.Columns.end(), [](const auto& a, const auto& b) { return a.Column < b.Column; });
  }

  TUndoOutcome out;
  out.Undone = *run;
  out.Run = BeginRun(u"undo", u"run " + Utf8ToUString(std::to_string(*run)), target->Fields, *run);
  try {
    st.Begin();
    TSqliteStatement read = st.Prepare(
        "SELECT OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,Use_BUREAU FROM CALLBOOK WHERE rowid=?1");
    std::unordered_map<std::uint32_t, TSqliteStatement> write;  // by the columns they set
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
      // One statement per row, so the undo's journal holds one change row per row.
      std::uint32_t set = 0;
      for (const auto& c : row.Columns) set |= 1u << c.Column;
      TSqliteStatement& w = write[set];
      if (!w) {
        std::string sql = "UPDATE CALLBOOK SET ";
        for (std::size_t i = 0; i < row.Columns.size(); ++i)
          sql += (i ? "," : "") + ColumnName(row.Columns[i].Column) + "=?" + std::to_string(i + 1);
        w = st.Prepare(sql + " WHERE rowid=?" + std::to_string(row.Columns.size() + 1));
      }
      for (std::size_t i = 0; i < row.Columns.size(); ++i) sqlite3_bind_value(w.get(), int(i + 1), row.Columns[i].Before.get());
      sqlite3_bind_int64(w.get(), int(row.Columns.size() + 1), row.Row);
      st.Step(w.get(), "cannot restore a row");
      st.FlushRecords();
      out.ValuesRestored += static_cast<std::int64_t>(row.Columns.size());
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
