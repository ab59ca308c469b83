// The host's callbook: table CALLBOOK in an SQLite database with WAL journaling.
//
// The walk of a query and the statements of a run share this one connection. Statements
// are grouped into transactions: a transaction is committed once it is half a second old,
// and whenever Commit is called (the host does so when a query is closed or freed, and at
// exit). Readers on the same connection see uncommitted changes, so the plug-in sees no
// difference.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/JetSql.h"
#include "platform/UStrings.h"

struct sqlite3;
struct sqlite3_stmt;

struct TStatementCloser {
  void operator()(sqlite3_stmt* s) const;
};
using TStatementPtr = std::unique_ptr<sqlite3_stmt, TStatementCloser>;

// One callbook row for import: a value per column, nothing for NULL. Use_BUREAU is "1"
// or "0" when present.
using TCallbookRow = std::array<std::optional<UString>, kCallbookColumnCount>;

class TCallbookDb {
 public:
  // Opens or creates the database file with its table and index. Raises EHostError
  // naming the file when it cannot be opened or is not a callbook.
  explicit TCallbookDb(UStringView path);
  // Commits what is pending.
  ~TCallbookDb();
  TCallbookDb(const TCallbookDb&) = delete;
  TCallbookDb& operator=(const TCallbookDb&) = delete;

  // A live walk over the rows of a select, in OMCALL order when asked.
  class TCursor {
   public:
    TCursor(TCallbookDb& db, const TCallbookSelect& select);
    // To the first row; Eof when there is none.
    void First();
    void Next();
    bool Eof() const { return !FOnRow; }
    // The number of rows the select yields, counted once.
    std::int64_t Count();
    bool IsNull(int column) const;
    // The column's text in UTF-16 units; valid until the cursor moves.
    UStringView Text(int column) const;
    // The column's text as stored, in UTF-8, without a conversion; valid until the cursor
    // moves or Text is asked for the same column.
    std::string_view Utf8(int column) const;

   private:
    TCallbookDb& FDb;
    TCallbookSelect FSelect;
    TStatementPtr FStmt;
    std::optional<std::int64_t> FCount;
    bool FOnRow = false;
  };

  std::unique_ptr<TCursor> Select(const TCallbookSelect& select) { return std::make_unique<TCursor>(*this, select); }

  // Runs one update with bound values; returns the number of rows changed.
  int Exec(const TCallbookUpdate& update);
  // Appends the rows that next yields, in one transaction of their own: all or none.
  // next fills the row and returns false when there are no more.
  void Insert(const std::function<bool(TCallbookRow& row)>& next);
  // Commits the open transaction, if any.
  void Commit();

  const UString& Path() const { return FPath; }

 private:
  friend class TCursor;
  struct DbCloser {
    void operator()(sqlite3* db) const;
  };
  [[noreturn]] void Fail(const char* what) const;
  void Run(const char* sql);
  TStatementPtr Prepare(const std::string& sql);
  void Step(sqlite3_stmt* s, const char* what);

  UString FPath;
  std::unique_ptr<sqlite3, DbCloser> FDb;
  std::map<std::uint32_t, TStatementPtr> FUpdates;  // by the shape of the SET list
  TStatementPtr FBegin, FCommit;
  bool FInTransaction = false;
  std::chrono::steady_clock::time_point FTransactionStart;
};
