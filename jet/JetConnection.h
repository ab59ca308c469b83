// A read-only connection to a Jet database file (Access 97 or Access 2000-2003), opened
// from an ADO-style connection string.
#pragma once

#include <memory>

#include "platform/UStrings.h"

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
  // damaged; the connection then stays closed.
  void Open();
  void Open(UStringView connectionString);
  // Closes the database; harmless when it is closed already.
  void Close() noexcept;
  bool Connected() const { return FHandle != nullptr; }

  // The path of the open database (empty when closed).
  const UString& FileName() const { return FFileName; }
  // 3 for an Access 97 file, 4 for Access 2000-2003; 0 when closed.
  int JetVersion() const;

  // The libmdb handle behind an open connection, for the query; null when closed.
  struct THandle;
  THandle* Handle() const { return FHandle.get(); }

 private:
  UString FConnectionString;
  UString FFileName;
  std::unique_ptr<THandle> FHandle;
};
