// The host's icons for plug-in windows.
#pragma once

#include "PluginAPI/PluginAPI.h"
#include "host/HostPart.h"

// Hands out fixed, non-zero icon handles; a window that receives one takes it over.
class THostIcons final : public THostPart<IHostIcons> {
 public:
  using THostPart::THostPart;
  static constexpr THandle SmallIcon = 0x0A01;
  static constexpr THandle LargeIcon = 0x0A02;

  HRESULT ZSTDCALL GetSmallIcon(THandle* icon) override;
  HRESULT ZSTDCALL GetLargeIcon(THandle* icon) override;
};
