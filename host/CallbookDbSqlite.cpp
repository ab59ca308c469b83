// The callbook in an SQLite database with WAL journaling.
#include "host/CallbookDbSqlite.h"
#include "host/HostFaults.h"
#include "platform/Kernel.h"

namespace {
// A run's statements update rows all over the file, so every commit writes nearly every
// page of the table to the log again, and the log is copied back soon after; committing
// each half second made that writing most of a run's system time. Five seconds still
// bound what a crash can lose.
constexpr auto kCommitInterval = std::chrono::seconds(5);
// Page cache of the connection, in KiB. A run walks the callbook in OMCALL order, which
// is not the order of the rows in the file, and updates rows all over it; with the
// default 2 MB every step and every update reads its page from the file again.
constexpr int kCacheKiB = 256 * 1024;
constexpr const char* kSelectColumns = "SELECT OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,Use_BUREAU FROM CALLBOOK";
}  // namespace

struct TCallbookDb::TCursor::TState {
  TSqliteStatement Stmt;
};

const char16_t* const TCallbookDb::FileName = u"callbook.db";

TCallbookDb::TCallbookDb(UStringView path) : FPath(path), FStore(std::make_unique<TStore>(FPath)) {}

TCallbookDb::~TCallbookDb() = default;

void TCallbookDb::Commit() { FStore->Commit(); }

TCallbookDb::TStore::TStore(const UString& path) : FPath(path) {
  // The host keeps no memory statistics; keeping them takes a lock on every allocation.
  // This must come before SQLite's first use, and later calls change nothing.
  static const int noStatistics = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)noStatistics;
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(NativePath(FPath).c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  FDb.reset(raw);
  if (rc != SQLITE_OK) Fail("cannot open");
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, 5000);
  Run("PRAGMA journal_mode=WAL");
  Run("PRAGMA synchronous=NORMAL");
  Run(("PRAGMA cache_size=-" + std::to_string(kCacheKiB)).c_str());
  // A run's transactions touch pages all over the file, so each one is nearly as large
  // as the table; checkpointing after every one would copy the table each half second.
  // The log may grow to this many pages before it is copied back and restarted.
  Run("PRAGMA wal_autocheckpoint=16384");
  // Once copied back, the log file is cut down to this size again.
  Run("PRAGMA journal_size_limit=67108864");
  Run("CREATE TABLE IF NOT EXISTS CALLBOOK (OMCALL TEXT, OMNAME TEXT, OMQTH TEXT, GRIDSQUARE TEXT, STATE TEXT, "
      "QSLMANAGER TEXT, Use_BUREAU INTEGER CHECK (Use_BUREAU IN (0, 1)))");
  Run("CREATE INDEX IF NOT EXISTS CALLBOOK_OMCALL ON CALLBOOK (OMCALL)");
  // A file that already held another CALLBOOK table is refused here, not on first use.
  Prepare(std::string(kSelectColumns) + " LIMIT 0");
  FBegin = Prepare("BEGIN");
  FCommit = Prepare("COMMIT");
}

TCallbookDb::TStore::~TStore() {
  try {
    if (FRecording == TRecording::Preview) Rollback();
    Commit();
  } catch (...) {
  }
  FUpdates.clear();
  FBegin.reset();
  FCommit.reset();
}

void TCallbookDb::TStore::Fail(const char* what) const {
  const char* msg = FDb ? sqlite3_errmsg(FDb.get()) : "out of memory";
  throw EHostError(E_FAIL, U(std::string("Callbook ") + UStringToUtf8(FPath) + ": " + what + ": " + msg));
}

void TCallbookDb::TStore::Run(const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(FDb.get(), sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "failed";
    sqlite3_free(err);
    throw EHostError(E_FAIL, U("Callbook " + UStringToUtf8(FPath) + ": " + msg));
  }
}

TSqliteStatement TCallbookDb::TStore::Prepare(const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v3(FDb.get(), sql.c_str(), static_cast<int>(sql.size()) + 1, SQLITE_PREPARE_PERSISTENT, &s,
                         nullptr) != SQLITE_OK)
    Fail("cannot prepare a statement");
  return TSqliteStatement(s);
}

void TCallbookDb::TStore::Step(sqlite3_stmt* s, const char* what) {
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail(what);
}

void TCallbookDb::TStore::Begin() {
  if (FInTransaction) return;
  Step(FBegin.get(), "cannot begin a transaction");
  FInTransaction = true;
  FTransactionStart = std::chrono::steady_clock::now();
}

void TCallbookDb::TStore::Commit() {
  // A preview's transaction ends only in its rollback.
  if (!FInTransaction || FRecording == TRecording::Preview) return;
  // A journal run's records go with the changes they describe.
  if (FRecording == TRecording::Journal) WriteChunk();
  Step(FCommit.get(), "cannot commit");
  FInTransaction = false;
  for (std::size_t c = 0; c < FWrittenCounts.size(); ++c) FCommittedCounts[c] += FWrittenCounts[c];
  FWrittenCounts = {};
}

void TCallbookDb::TStore::Rollback() {
  FChunk.clear();
  FChunkRecords = 0;
  FChunkCounts = FWrittenCounts = {};
  if (!FInTransaction) return;
  FInTransaction = false;
  if (sqlite3_exec(FDb.get(), "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK && sqlite3_get_autocommit(FDb.get()) == 0)
    Fail("cannot roll back");
}

int TCallbookDb::Exec(const TCallbookUpdate& update) {
  TStore& st = *FStore;
  // The SET list's columns, three bits each; a column appears at most once.
  std::uint32_t shape = 0;
  for (int c : update.Columns) shape = shape << 3 | static_cast<std::uint32_t>(c + 1);
  auto it = st.FUpdates.find(shape);
  if (it == st.FUpdates.end()) {
    std::string sql = "UPDATE CALLBOOK SET ";
    for (std::size_t i = 0; i < update.Columns.size(); ++i) {
      if (i) sql += ',';
      sql += UStringToUtf8(CallbookColumnName(update.Columns[i])) + "=?" + std::to_string(i + 1);
    }
    sql += " WHERE OMCALL=?" + std::to_string(update.Columns.size() + 1);
    it = st.FUpdates.emplace(shape, st.Prepare(sql)).first;
  }
  sqlite3_stmt* s = it->second.get();
  int n = 0;
  for (const TCallbookValue& v : update.Values) {
    ++n;
    if (v.IsBoolean)
      sqlite3_bind_int(s, n, v.Boolean ? 1 : 0);
    else
      sqlite3_bind_text16(s, n, v.Text.data(), static_cast<int>(v.Text.size() * 2), SQLITE_STATIC);
  }
  sqlite3_bind_text16(s, n + 1, update.Call.data(), static_cast<int>(update.Call.size() * 2), SQLITE_STATIC);

  st.Begin();
  const bool recording = st.FRecording != TRecording::None;
  if (recording) st.StartStatement();
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
  if (recording) st.EndStatement(rc == SQLITE_DONE);
  if (rc != SQLITE_DONE) st.Fail("cannot update");
  int changed = sqlite3_changes(st.FDb.get());
  if (st.FRecording != TRecording::Preview && std::chrono::steady_clock::now() - st.FTransactionStart >= kCommitInterval)
    st.Commit();
  return changed;
}

void TCallbookDb::Insert(const std::function<bool(TCallbookRow& row)>& next) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None)
    throw EHostError(E_FAIL, u"Callbook " + FPath + u": rows cannot be added while a run is open.");
  st.Commit();
  TSqliteStatement ins = st.Prepare(
      "INSERT INTO CALLBOOK (OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,Use_BUREAU) VALUES (?1,?2,?3,?4,?5,?6,?7)");
  st.Run("BEGIN");
  try {
    TCallbookRow row;
    while (next(row)) {
      for (int c = 0; c < kCallbookColumnCount; ++c) {
        const auto& v = row[c];
        if (!v)
          sqlite3_bind_null(ins.get(), c + 1);
        else if (IsBooleanColumn(c))
          sqlite3_bind_int(ins.get(), c + 1, *v == u"1" ? 1 : 0);
        else
          sqlite3_bind_text16(ins.get(), c + 1, v->data(), static_cast<int>(v->size() * 2), SQLITE_STATIC);
      }
      st.Step(ins.get(), "cannot insert a row");
    }
    st.Run("COMMIT");
  } catch (...) {
    sqlite3_exec(st.FDb.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

// ---- TCursor ----

TCallbookDb::TCursor::TCursor(TCallbookDb& db, const TCallbookSelect& select)
    : FDb(db), FSelect(select), FState(std::make_unique<TState>()) {
  std::string sql = kSelectColumns;
  if (FSelect.Call) sql += " WHERE OMCALL=?1";
  sql += FSelect.OrderByCall ? " ORDER BY OMCALL" : " ORDER BY rowid";
  FState->Stmt = FDb.FStore->Prepare(sql);
  if (FSelect.Call)
    sqlite3_bind_text16(FState->Stmt.get(), 1, FSelect.Call->data(), static_cast<int>(FSelect.Call->size() * 2),
                        SQLITE_STATIC);
  First();
}

TCallbookDb::TCursor::~TCursor() = default;

void TCallbookDb::TCursor::First() {
  sqlite3_reset(FState->Stmt.get());
  FOnRow = false;
  Next();
}

void TCallbookDb::TCursor::Next() {
  int rc = sqlite3_step(FState->Stmt.get());
  FOnRow = rc == SQLITE_ROW;
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    sqlite3_reset(FState->Stmt.get());
    FDb.FStore->Fail("cannot read the callbook");
  }
}

std::int64_t TCallbookDb::TCursor::Count() {
  if (!FCount) {
    TSqliteStatement c = FDb.FStore->Prepare(FSelect.Call ? "SELECT COUNT(*) FROM CALLBOOK WHERE OMCALL=?1"
                                               : "SELECT COUNT(*) FROM CALLBOOK");
    if (FSelect.Call)
      sqlite3_bind_text16(c.get(), 1, FSelect.Call->data(), static_cast<int>(FSelect.Call->size() * 2),
                          SQLITE_STATIC);
    if (sqlite3_step(c.get()) != SQLITE_ROW) FDb.FStore->Fail("cannot count the rows");
    FCount = sqlite3_column_int64(c.get(), 0);
  }
  return *FCount;
}

bool TCallbookDb::TCursor::IsNull(int column) const {
  return !FOnRow || sqlite3_column_type(FState->Stmt.get(), column) == SQLITE_NULL;
}

UStringView TCallbookDb::TCursor::Text(int column) const {
  if (!FOnRow) return {};
  auto* p = static_cast<const char16_t*>(sqlite3_column_text16(FState->Stmt.get(), column));
  int bytes = sqlite3_column_bytes16(FState->Stmt.get(), column);
  return p ? UStringView(p, static_cast<std::size_t>(bytes) / 2) : UStringView();
}

std::string_view TCallbookDb::TCursor::Utf8(int column) const {
  if (!FOnRow) return {};
  auto* p = reinterpret_cast<const char*>(sqlite3_column_text(FState->Stmt.get(), column));
  int bytes = sqlite3_column_bytes(FState->Stmt.get(), column);
  return p ? std::string_view(p, static_cast<std::size_t>(bytes)) : std::string_view();
}
