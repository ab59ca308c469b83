#include "host/HostServer.h"

#include <new>

#include "platform/OleAuto.h"

namespace {
// The text of a BSTR in place; empty for null.
UStringView BSTRView(BSTR s) { return s ? UStringView(OleChars(s), SysStringLen(s)) : UStringView(); }

// A new BSTR with the column's text. Plain ASCII, the usual content of a callbook, is
// widened straight from the stored bytes; anything else goes through SQLite's own
// conversion.
BSTR ColumnBSTR(const TCallbookDb::TCursor& c, int column) {
  std::string_view bytes = c.Utf8(column);
  for (char b : bytes)
    if (static_cast<unsigned char>(b) >= 0x80) return AllocBSTR(c.Text(column));
  if (bytes.size() > 0x3FFFFFF0u) throw std::bad_alloc();
  BSTR s = SysAllocStringLen(nullptr, static_cast<std::uint32_t>(bytes.size()));
  if (!s) throw std::bad_alloc();
  for (std::size_t i = 0; i < bytes.size(); ++i) s[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
  return s;
}
}  // namespace

THostServer::THostServer(THostFaults& faults, IUnknown& identity, TCallbookDb& db)
    : THostPart(faults, identity), FDb(db) {}

THostServer::TQuery& THostServer::Find(std::int32_t handle) {
  auto it = FQueries.find(handle);
  if (it == FQueries.end()) throw EHostError(E_INVALIDARG, u"There is no query with handle " + IntToStr(handle) + u".");
  return it->second;
}

TCallbookDb::TCursor& THostServer::Open(std::int32_t handle) {
  TQuery& q = Find(handle);
  if (!q.Cursor) throw EHostError(E_FAIL, u"Query " + IntToStr(handle) + u" is not open.");
  return *q.Cursor;
}

HRESULT THostServer::CreateQuery(std::int32_t* handle) {
  return Call("CreateQuery", [&] {
    std::int32_t& out = Out(handle);
    if (FNextHandle == INT32_MAX) throw EHostError(E_OUTOFMEMORY, u"No query handles are left.");
    std::int32_t h = FNextHandle++;
    FQueries.emplace(h, TQuery{});
    out = h;
  });
}

HRESULT THostServer::OpenQuery(std::int32_t handle, BSTR sql) {
  return Call("OpenQuery", [&] {
    TQuery& q = Find(handle);
    TCallbookSelect select = ParseCallbookSelect(BSTRView(sql));
    q.Cursor.reset();
    q.Cursor = FDb.Select(select);
  });
}

HRESULT THostServer::GetRecordCount(std::int32_t handle, std::int32_t* count) {
  return Call("GetRecordCount", [&] {
    std::int32_t& out = Out(count);
    std::int64_t n = Open(handle).Count();
    out = n > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(n);
    FLastRecordCount = n;
  });
}

HRESULT THostServer::First(std::int32_t handle) {
  return Call("First", [&] { Open(handle).First(); });
}

HRESULT THostServer::Next(std::int32_t handle) {
  return Call("Next", [&] {
    TCallbookDb::TCursor& c = Open(handle);
    if (!c.Eof()) c.Next();
    ++FRowsWalked;
    if (Activity) Activity();
  });
}

HRESULT THostServer::IsEof(std::int32_t handle, Bool32* eof) {
  return Call("IsEof", [&] {
    Bool32& out = Out(eof);
    out = Open(handle).Eof() ? -1 : 0;
  });
}

HRESULT THostServer::GetFieldValue(std::int32_t handle, BSTR field, BSTR* value, std::int32_t* result) {
  return Call("GetFieldValue", [&] {
    BSTR& io = Out(value);
    std::int32_t& res = Out(result);
    TCallbookDb::TCursor& c = Open(handle);
    auto column = FindCallbookColumn(BSTRView(field));
    if (!column) throw EHostError(E_INVALIDARG, u"CALLBOOK has no column " + BSTRText(field) + u".");
    if (c.Eof()) throw EHostError(E_FAIL, u"Query " + IntToStr(handle) + u" has no current row.");
    if (c.IsNull(*column)) {
      res = 0;
      return;
    }
    BSTR fresh;
    if (IsBooleanColumn(*column))
      fresh = AllocBSTR(c.Text(*column) == u"0" ? u"False" : u"True");
    else
      fresh = ColumnBSTR(c, *column);
    SysFreeString(io);
    io = fresh;
    res = 1;
  });
}

HRESULT THostServer::CloseQuery(std::int32_t handle) {
  return Call("CloseQuery", [&] {
    if (handle == 0) return;
    Find(handle).Cursor.reset();
    FDb.Commit();
  });
}

HRESULT THostServer::FreeQuery(std::int32_t handle) {
  return Call("FreeQuery", [&] {
    if (handle == 0) return;
    Find(handle);
    FQueries.erase(handle);
    FDb.Commit();
  });
}

HRESULT THostServer::ExecSQL(BSTR sql, std::int32_t* result) {
  return Call("ExecSQL", [&] {
    std::int32_t& out = Out(result);
    TCallbookUpdate update = ParseCallbookUpdate(BSTRView(sql));
    int changed = FDb.Exec(update);
    ++FStatements;
    FRowsChanged += changed;
    out = changed;
    if (RecordStatements) RecordedStatements.push_back(BSTRText(sql));
    if (Activity) Activity();
  });
}
