// The host's application window services.
#pragma once

#include "PluginAPI/PluginAPI.h"
#include "host/HostPart.h"

// The main window's handle is 0 while the host runs headless. Modal loops of plug-in
// windows are counted.
class THostWindows final : public THostPart<IApplicationWindows> {
 public:
  using THostPart::THostPart;

  HRESULT ZSTDCALL GetApplicationHandle(THandle* handle) override;
  Z_HOST_RESERVED(2)
  Z_HOST_RESERVED(3)
  Z_HOST_RESERVED(4)
  Z_HOST_RESERVED(5)
  HRESULT ZSTDCALL ModalStarted() override;
  HRESULT ZSTDCALL ModalFinished() override;
  Z_HOST_RESERVED(8)
  Z_HOST_RESERVED(9)

  // A window sets its handle here when it opens and 0 when it closes.
  THandle MainWindow = 0;
  int ModalStarts = 0;
  int ModalFinishes = 0;
};
