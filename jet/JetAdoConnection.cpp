// Opening a Jet file through ADO and the Jet OLE DB provider.
#include "jet/EDatabaseError.h"
#include "jet/JetAdoHandle.h"
#include "jet/JetConnectionString.h"
#include "jet/JetFile.h"

void TJetConnection::THandleFree::operator()(THandle* handle) const noexcept {
  if (!handle) return;
  if (handle->Connection) {
    // Closing an open connection can only fail when it is not open; either way the last
    // reference below ends it.
    try {
      if (GetProperty(handle->Connection.Get(), u"State").AsInt(u"State") & adStateOpen)
        CallMethod(handle->Connection.Get(), u"Close");
    } catch (...) {
    }
  }
  delete handle;
}

TJetConnection::THandlePtr TJetConnection::OpenHandle(const UString& path, const TJetFileInfo&) {
  const UString provider(ProviderName);
  THandlePtr handle;
  try {
    handle.reset(new THandle);
    handle->Connection = CreateAutomationObject(u"ADODB.Connection");
    IDispatch* connection = handle->Connection.Get();
    PutProperty(connection, u"Mode", TVariant::Int(adModeRead | adModeShareDenyNone).Get());
    const TVariant text = TVariant::Text(u"Provider=" + provider + u";Data Source=" + QuoteConnectionValue(path) + u";");
    const TVariant none = TVariant::Text(u"");
    const TVariant options = TVariant::Int(-1);
    CallMethod(connection, u"Open", {&text.Get(), &none.Get(), &none.Get(), &options.Get()});
  } catch (const EDatabaseError& e) {
    UString message = Format(u"Cannot open the database '%s' with the OLE DB provider %s",
                             {path, provider});
    if (handle && !ProgIdRegistered(provider))
      message += u": the provider is not registered for this process (it exists only for "
                 u"32-bit programs on Windows)";
    throw EDatabaseError(message + u". " + e.Message);
  }
  return handle;
}
