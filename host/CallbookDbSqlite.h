// The SQLite callbook's own state, shared by the files that implement it (the store and
// its journal). Only those files include this header.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

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
  // Routes every changed value of the statements that follow into table (a run's
  // number or the preview's marker in run), until DropCapture.
  void CreateCapture(const std::string& table, std::int64_t run);
  void DropCapture();

  const UString& FPath;
  std::unique_ptr<sqlite3, TSqliteCloser> FDb;
  std::map<std::uint32_t, TSqliteStatement> FUpdates;  // by the shape of the SET list
  TSqliteStatement FBegin, FCommit;
  bool FInTransaction = false;
  std::chrono::steady_clock::time_point FTransactionStart;
  TRecording FRecording = TRecording::None;
  std::int64_t FRun = 0;  // the journal run being recorded
};
