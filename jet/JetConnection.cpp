#include "jet/JetConnection.h"

#include "jet/EDatabaseError.h"
#include "jet/JetConnectionString.h"
#include "jet/JetFile.h"

TJetConnection::TJetConnection() = default;
TJetConnection::~TJetConnection() { Close(); }

void TJetConnection::Open(UStringView connectionString) {
  SetConnectionString(connectionString);
  Open();
}

void TJetConnection::Open() {
  Close();
  const TJetConnectionString parsed(FConnectionString);
  if (const UString* provider = parsed.Find(u"Provider");
      provider && !SameTextAscii(*provider, ProviderName))
    throw EDatabaseError(Format(u"Provider '%s' is not supported; only %s is.",
                                {*provider, UString(ProviderName)}));
  const UString* source = parsed.Find(u"Data Source");
  if (!source || source->empty())
    throw EDatabaseError(u"The connection string names no Data Source.");
  const UString path = *source;

  const TJetFileInfo file = CheckJetFile(path);
  THandlePtr handle = OpenHandle(path, file);
  FFileName = path;
  FVersion = file.Version;
  FHandle = std::move(handle);
}

void TJetConnection::Close() noexcept {
  FHandle.reset();
  FFileName.clear();
  FVersion = 0;
}
