#include "host/CallbookDb.h"

#include <sqlite3.h>

#include "host/HostFaults.h"
#include "platform/Kernel.h"

namespace {
constexpr auto kCommitInterval = std::chrono::milliseconds(500);
// Page cache of the connection, in KiB. A run walks the callbook in OMCALL order, which
// is not the order of the rows in the file, and updates rows all over it; with the
// default 2 MB every step and every update reads its page from the file again.
constexpr int kCacheKiB = 256 * 1024;
constexpr const char* kSelectColumns = "SELECT OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,Use_BUREAU FROM CALLBOOK";
}  // namespace

void TStatementCloser::operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
void TCallbookDb::DbCloser::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

TCallbookDb::TCallbookDb(UStringView path) : FPath(path) {
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

TCallbookDb::~TCallbookDb() {
  try {
    Commit();
  } catch (...) {
  }
  FUpdates.clear();
  FBegin.reset();
  FCommit.reset();
}

void TCallbookDb::Fail(const char* what) const {
  const char* msg = FDb ? sqlite3_errmsg(FDb.get()) : "out of memory";
  throw EHostError(E_FAIL, U(std::string("Callbook ") + UStringToUtf8(FPath) + ": " + what + ": " + msg));
}

void TCallbookDb::Run(const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(FDb.get(), sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "failed";
    sqlite3_free(err);
    throw EHostError(E_FAIL, U("Callbook " + UStringToUtf8(FPath) + ": " + msg));
  }
}

TStatementPtr TCallbookDb::Prepare(const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v3(FDb.get(), sql.c_str(), static_cast<int>(sql.size()) + 1, SQLITE_PREPARE_PERSISTENT, &s,
                         nullptr) != SQLITE_OK)
    Fail("cannot prepare a statement");
  return TStatementPtr(s);
}

void TCallbookDb::Step(sqlite3_stmt* s, const char* what) {
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail(what);
}

void TCallbookDb::Commit() {
  if (!FInTransaction) return;
  Step(FCommit.get(), "cannot commit");
  FInTransaction = false;
}

int TCallbookDb::Exec(const TCallbookUpdate& update) {
  // The SET list's columns, three bits each; a column appears at most once.
  std::uint32_t shape = 0;
  for (int c : update.Columns) shape = shape << 3 | static_cast<std::uint32_t>(c + 1);
  auto it = FUpdates.find(shape);
  if (it == FUpdates.end()) {
    std::string sql = "UPDATE CALLBOOK SET ";
    for (std::size_t i = 0; i < update.Columns.size(); ++i) {
      if (i) sql += ',';
      sql += UStringToUtf8(CallbookColumnName(update.Columns[i])) + "=?" + std::to_string(i + 1);
    }
    sql += " WHERE OMCALL=?" + std::to_string(update.Columns.size() + 1);
    it = FUpdates.emplace(shape, Prepare(sql)).first;
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

  if (!FInTransaction) {
    Step(FBegin.get(), "cannot begin a transaction");
    FInTransaction = true;
    FTransactionStart = std::chrono::steady_clock::now();
  }
  int rc = sqlite3_step(s);
  sqlite3_reset(s);
  sqlite3_clear_bindings(s);
  if (rc != SQLITE_DONE) Fail("cannot update");
  int changed = sqlite3_changes(FDb.get());
  if (std::chrono::steady_clock::now() - FTransactionStart >= kCommitInterval) Commit();
  return changed;
}

void TCallbookDb::Insert(const std::function<bool(TCallbookRow& row)>& next) {
  Commit();
  TStatementPtr ins = Prepare(
      "INSERT INTO CALLBOOK (OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,Use_BUREAU) VALUES (?1,?2,?3,?4,?5,?6,?7)");
  Run("BEGIN");
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
      Step(ins.get(), "cannot insert a row");
    }
    Run("COMMIT");
  } catch (...) {
    sqlite3_exec(FDb.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

// ---- TCursor ----

TCallbookDb::TCursor::TCursor(TCallbookDb& db, const TCallbookSelect& select) : FDb(db), FSelect(select) {
  std::string sql = kSelectColumns;
  if (FSelect.Call) sql += " WHERE OMCALL=?1";
  sql += FSelect.OrderByCall ? " ORDER BY OMCALL" : " ORDER BY rowid";
  FStmt = FDb.Prepare(sql);
  if (FSelect.Call)
    sqlite3_bind_text16(FStmt.get(), 1, FSelect.Call->data(), static_cast<int>(FSelect.Call->size() * 2),
                        SQLITE_STATIC);
  First();
}

void TCallbookDb::TCursor::First() {
  sqlite3_reset(FStmt.get());
  FOnRow = false;
  Next();
}

void TCallbookDb::TCursor::Next() {
  int rc = sqlite3_step(FStmt.get());
  FOnRow = rc == SQLITE_ROW;
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    sqlite3_reset(FStmt.get());
    FDb.Fail("cannot read the callbook");
  }
}

std::int64_t TCallbookDb::TCursor::Count() {
  if (!FCount) {
    TStatementPtr c = FDb.Prepare(FSelect.Call ? "SELECT COUNT(*) FROM CALLBOOK WHERE OMCALL=?1"
                                               : "SELECT COUNT(*) FROM CALLBOOK");
    if (FSelect.Call)
      sqlite3_bind_text16(c.get(), 1, FSelect.Call->data(), static_cast<int>(FSelect.Call->size() * 2),
                          SQLITE_STATIC);
    if (sqlite3_step(c.get()) != SQLITE_ROW) FDb.Fail("cannot count the rows");
    FCount = sqlite3_column_int64(c.get(), 0);
  }
  return *FCount;
}

bool TCallbookDb::TCursor::IsNull(int column) const {
  return !FOnRow || sqlite3_column_type(FStmt.get(), column) == SQLITE_NULL;
}

UStringView TCallbookDb::TCursor::Text(int column) const {
  if (!FOnRow) return {};
  auto* p = static_cast<const char16_t*>(sqlite3_column_text16(FStmt.get(), column));
  int bytes = sqlite3_column_bytes16(FStmt.get(), column);
  return p ? UStringView(p, static_cast<std::size_t>(bytes) / 2) : UStringView();
}

std::string_view TCallbookDb::TCursor::Utf8(int column) const {
  if (!FOnRow) return {};
  auto* p = reinterpret_cast<const char*>(sqlite3_column_text(FStmt.get(), column));
  int bytes = sqlite3_column_bytes(FStmt.get(), column);
  return p ? std::string_view(p, static_cast<std::size_t>(bytes)) : std::string_view();
}
