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
  // Records every row the statements that follow change, until DropCapture. SQLite
  // reports each row before it changes it; its record goes to FChunk, and a journal run's
  // chunk is written to the journal when it is large and before every commit.
  void CreateCapture();
  void DropCapture();
  // Around every statement while recording: StartStatement marks where its records
  // begin; EndStatement keeps them (ok) or forgets them (SQLite took the statement back).
  // EndStatement raises, after rolling back the open transaction so that no change
  // stays without its record, when a record could not be kept.
  void StartStatement();
  void EndStatement(bool ok);
  // Writes the journal run's chunk of records, in the open transaction.
  void WriteChunk();

  const UString& FPath;
  std::unique_ptr<sqlite3, TSqliteCloser> FDb;
  std::map<std::uint32_t, TSqliteStatement> FUpdates;  // by the shape of the SET list
  // Records of changed rows not yet written, and where the running statement's begin.
  std::string FChunk;
  std::size_t FStatementMark = 0;
  std::int64_t FChunkRecords = 0, FStatementRecords = 0;
  bool FCaptureFailed = false;
  // Changed values per column: of the running statement, of the chunk, written in the
  // open transaction, and committed.
  // The second half counts the values that did not fill or lengthen their column.
  using TTally = std::array<std::int64_t, 2 * kCallbookColumnCount>;
  TTally FStatementCounts{}, FChunkCounts{}, FWrittenCounts{}, FCommittedCounts{};
  TSqliteStatement FBegin, FCommit;
  bool FInTransaction = false;
  std::chrono::steady_clock::time_point FTransactionStart;
  TRecording FRecording = TRecording::None;
  std::int64_t FRun = 0;  // the journal run being recorded
};
