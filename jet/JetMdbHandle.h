// The libmdb state behind an open TJetConnection. Only the layer's own sources include
// this header, so libmdb's and glib's declarations stay out of everyone else's.
#pragma once

#include <mdbtools.h>

#include <memory>
#include <vector>

#include "jet/JetColumn.h"
#include "jet/JetConnection.h"

// libmdb's column kinds are Jet's own codes, so they pass into the column store unchanged.
static_assert(int(MDB_BOOL) == jdtBoolean && int(MDB_BYTE) == jdtByte &&
              int(MDB_INT) == jdtInteger && int(MDB_LONGINT) == jdtLongInteger &&
              int(MDB_MONEY) == jdtCurrency && int(MDB_FLOAT) == jdtSingle &&
              int(MDB_DOUBLE) == jdtDouble && int(MDB_DATETIME) == jdtDateTime &&
              int(MDB_BINARY) == jdtBinary && int(MDB_TEXT) == jdtText &&
              int(MDB_OLE) == jdtLongBinary && int(MDB_MEMO) == jdtMemo &&
              int(MDB_REPID) == jdtGuid && int(MDB_NUMERIC) == jdtNumeric);

struct MdbHandleCloser {
  void operator()(MdbHandle* mdb) const noexcept { mdb_close(mdb); }
};
struct MdbTableDefFreer {
  void operator()(MdbTableDef* table) const noexcept { mdb_free_tabledef(table); }
};
using MdbHandlePtr = std::unique_ptr<MdbHandle, MdbHandleCloser>;
using MdbTableDefPtr = std::unique_ptr<MdbTableDef, MdbTableDefFreer>;

struct TJetConnection::THandle {
  MdbHandlePtr Mdb;
  int Version = 0;          // 3 or 4
  unsigned PageSize = 0;    // 2048 or 4096
  std::uint64_t FileSize = 0;
  // The database's tables, from its system catalog.
  struct TTable {
    UString Name;
    std::uint32_t Page;  // the page of the table's definition
  };
  std::vector<TTable> Tables;
};
