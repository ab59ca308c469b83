// A read-only connection to a Jet database file (Access 97 or Access 2000-2003), opened
// from an ADO-style connection string. The engine underneath is the platform's: libmdb on
// Linux, ADO with the Jet OLE DB provider on Windows.
#pragma once

#include <memory>

#include "platform/UStrings.h"

struct TJetFileInfo;

class TJetConnection {
 public:
  // The provider name the connection string may give; any other provider is refused.
  static constexpr char16_t ProviderName[] = u"Microsoft.Jet.OLEDB.4.0";

  TJetConnection();
  ~TJetConnection();
  TJetConnection(const TJetConnection&) = delete;
  TJetConnection& operator=(const TJetConnection&) = delete;

  const UString& ConnectionString() const { return FConnectionString; }
  // Takes effect at the next Open.
  void SetConnectionString(UStringView text) { FConnectionString = UString(text); }

  // Closes any open database, then opens the file that the connection string's
  // "Data Source" names. Raises EDatabaseError with a message naming the file when the
  // string is malformed, the file is missing, is not a Jet 3 or Jet 4 database, or is
  // damaged, or when the platform's engine cannot open it (on Windows the message then
  // names the provider and carries the engine's own description); the connection then
  // stays closed.
  void Open();
  void Open(UStringView connectionString);
  // Closes the database; harmless when it is closed already.
  void Close() noexcept;
  bool Connected() const { return FHandle != nullptr; }

  // The path of the open database (empty when closed).
  const UString& FileName() const { return FFileName; }
  // 3 for an Access 97 file, 4 for Access 2000-2003; 0 when closed.
  int JetVersion() const { return FHandle ? FVersion : 0; }

  // The engine's state behind an open connection, for the query; null when closed. Each
  // platform's side of the layer defines it.
  struct THandle;
  THandle* Handle() const { return FHandle.get(); }

 private:
  struct THandleFree {
    void operator()(THandle* handle) const noexcept;
  };
  using THandlePtr = std::unique_ptr<THandle, THandleFree>;
  // Opens the checked file path with the platform's engine, or raises EDatabaseError.
  static THandlePtr OpenHandle(const UString& path, const TJetFileInfo& file);

  UString FConnectionString;
  UString FFileName;
  int FVersion = 0;
  THandlePtr FHandle;
};
