// The ADO state behind an open TJetConnection on Windows: the thread's COM apartment and
// the open ADODB.Connection. Only the layer's own sources include this header.
#pragma once

#include "jet/JetAdoDispatch.h"
#include "jet/JetConnection.h"

struct TJetConnection::THandle {
  // Declared first, so that it ends after the connection is released.
  TComApartment Apartment;
  ComPtr<IDispatch> Connection;
};

// ADO's codes used by the layer.
enum : long {
  adModeRead = 1,
  adModeShareDenyNone = 16,
  adOpenForwardOnly = 0,
  adLockReadOnly = 1,
  adCmdText = 1,
  adStateOpen = 1,
};
