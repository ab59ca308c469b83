// The host's database services over the SQLite callbook: numbered queries and the
// plug-in's UPDATE statements.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "PluginAPI/PluginAPI.h"
#include "host/CallbookDb.h"
#include "host/HostPart.h"

// Query handles count up from 1. An unknown handle fails with E_INVALIDARG; CloseQuery
// and FreeQuery accept handle 0 and do nothing. Closing or freeing a query commits the
// statements run so far.
class THostServer final : public THostPart<IHostServer> {
 public:
  THostServer(THostFaults& faults, IUnknown& identity, TCallbookDb& db);

  Z_HOST_RESERVED(1)
  Z_HOST_RESERVED(2)
  Z_HOST_RESERVED(3)
  HRESULT ZSTDCALL CreateQuery(std::int32_t* handle) override;
  HRESULT ZSTDCALL OpenQuery(std::int32_t handle, BSTR sql) override;
  HRESULT ZSTDCALL GetRecordCount(std::int32_t handle, std::int32_t* count) override;
  HRESULT ZSTDCALL First(std::int32_t handle) override;
  Z_HOST_RESERVED(8)
  HRESULT ZSTDCALL Next(std::int32_t handle) override;
  Z_HOST_RESERVED(10)
  Z_HOST_RESERVED(11)
  HRESULT ZSTDCALL IsEof(std::int32_t handle, Bool32* eof) override;
  Z_HOST_RESERVED(13)
  HRESULT ZSTDCALL GetFieldValue(std::int32_t handle, BSTR field, BSTR* value, std::int32_t* result) override;
  Z_HOST_RESERVED(15)
  Z_HOST_RESERVED(16)
  Z_HOST_RESERVED(17)
  Z_HOST_RESERVED(18)
  Z_HOST_RESERVED(19)
  HRESULT ZSTDCALL CloseQuery(std::int32_t handle) override;
  HRESULT ZSTDCALL FreeQuery(std::int32_t handle) override;
  HRESULT ZSTDCALL ExecSQL(BSTR sql, std::int32_t* result) override;

  TCallbookDb& Db() { return FDb; }
  // Statements run and rows they changed, for the summary of a run.
  std::int64_t StatementsRun() const { return FStatements; }
  std::int64_t RowsChanged() const { return FRowsChanged; }
  // Rows stepped over with Next, and the row count a query last reported, for progress.
  std::int64_t RowsWalked() const { return FRowsWalked; }
  std::int64_t LastRecordCount() const { return FLastRecordCount; }
  // When set, called after every Next and every statement; it must not raise.
  std::function<void()> Activity;
  // When set, every statement that ran is kept, in order, for tests and diagnostics.
  bool RecordStatements = false;
  std::vector<UString> RecordedStatements;
  // Queries created and not yet freed.
  std::size_t OpenHandles() const { return FQueries.size(); }

 private:
  struct TQuery {
    std::unique_ptr<TCallbookDb::TCursor> Cursor;
  };
  TQuery& Find(std::int32_t handle);
  TCallbookDb::TCursor& Open(std::int32_t handle);

  TCallbookDb& FDb;
  std::unordered_map<std::int32_t, TQuery> FQueries;
  std::int32_t FNextHandle = 1;
  std::int64_t FStatements = 0, FRowsChanged = 0, FRowsWalked = 0, FLastRecordCount = 0;
};
