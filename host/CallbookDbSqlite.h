// The SQLite callbook's own state, shared by the files that implement it (the store and
// its journal). Only those files include this header.
#pragma once

// SQLite reports rows about to change only with its pre-update hook declared.
#ifndef SQLITE_ENABLE_PREUPDATE_HOOK
#define SQLITE_ENABLE_PREUPDATE_HOOK
#endif
#include <sqlite3.h>

#include <chrono>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/CallbookDb.h"

struct TSqliteStatementCloser {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TSqliteStatement = std::unique_ptr<sqlite3_stmt, TSqliteStatementCloser>;

struct TSqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

// How the statements of the moment are kept.
enum class TRecording {
  None,     // applied, committed now and then, not journaled
  Journal,  // applied, and every changed value journaled in the same transaction
  Preview,  // applied inside one transaction that is rolled back at the end
};

struct TCallbookDb::TStore {
  explicit TStore(const UString& path);
  ~TStore();
  [[noreturn]] void Fail(const char* what) const;
  void Run(const char* sql);
  void Run(const std::string& sql) { Run(sql.c_str()); }
  TSqliteStatement Prepare(const std::string& sql);
  void Step(sqlite3_stmt* s, const char* what);
  // Opens a transaction when none is open.
  void Begin();
  void Commit();
  void Rollback();
  // Whether the database holds the journal's tables.
  bool HasJournal();
  // Records every row the statements that follow change, in table under run (0 for a
  // preview), until DropCapture. SQLite reports each row before it changes it; the rows
  // of a statement are kept until it has run, then written by FlushRecords.
  void CreateCapture(const std::string& table, std::int64_t run);
  void DropCapture();
  // Writes the change rows the last statement made; raises, after rolling back the open
  // transaction so that no change stays without its record, when one could not be kept.
  void FlushRecords();
  // Forgets the change rows of a statement that failed (SQLite took its changes back).
  void DiscardRecords();
  static int ImageParameter(int column) { return 5 + 2 * column; }

  const UString& FPath;
  std::unique_ptr<sqlite3, TSqliteCloser> FDb;
  std::map<std::uint32_t, TSqliteStatement> FUpdates;  // by the shape of the SET list
  struct TValueFree {
    void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
  };
  using TValue = std::unique_ptr<sqlite3_value, TValueFree>;
  // A value a statement changed, its text or blob kept in FArena.
  struct TPendingValue {
    int Type = SQLITE_NULL;
    std::int64_t Int = 0;
    double Real = 0;
    std::size_t Offset = 0, Length = 0;
  };
  // A row the running statement changed: which columns, and their values before and after.
  struct TPendingChange {
    std::int64_t Row = 0;
    std::uint32_t Bits = 0;
    TPendingValue Call;
    std::array<TPendingValue, kCallbookColumnCount> Old, New;
  };
  std::vector<TPendingChange> FPending;
  std::string FArena;
  bool FCaptureFailed = false;
  TSqliteStatement FRecordInsert;
  TSqliteStatement FBegin, FCommit;
  bool FInTransaction = false;
  std::chrono::steady_clock::time_point FTransactionStart;
  TRecording FRecording = TRecording::None;
  std::int64_t FRun = 0;  // the journal run being recorded
};
