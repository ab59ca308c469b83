#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "platform/InterfacedObject.h"

void TfrmUpdZorvik::ConnectPackage(TJetConnection& Connection, UStringView FileName) {
  try {
    Connection.Close();
    Connection.SetConnectionString(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + UString(FileName) + u";");
    Connection.Open();
    HostLog(u"Connect updates: " + UString(FileName));
  } catch (const Exception& e) {
    // Only the text of the failure goes on; its kind and code are dropped.
    throw Exception(e.Message);
  }
}

void TfrmUpdZorvik::DisconnectPackage(TJetConnection& Connection) {
  Connection.Close();
  HostLog(u"Disconnect updates.");
}

UString TfrmUpdZorvik::HostValue(UStringView name) {
  BStr value;
  CheckSafeCallResult(FHostKernel->GetValue(BStr(name).Get(), value.Put()));
  return value.Text();
}

void TfrmUpdZorvik::HostLog(UStringView text) { CheckSafeCallResult(FHostKernel->AddToLog(BStr(text).Get())); }
