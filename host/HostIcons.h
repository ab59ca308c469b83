// The host's icons for plug-in windows.
#pragma once

#include "PluginAPI/PluginAPI.h"
#include "host/HostPart.h"
#include "ui/UiRuntime.h"

// Hands out a new icon per call, 16 x 16 or 32 x 32 pixels, made through the toolkit's
// runtime with a picture a window can show. The window that receives one takes it over
// and frees it with ui_runtime::DestroyIcon.
class THostIcons final : public THostPart<IHostIcons> {
 public:
  using THostPart::THostPart;

  HRESULT ZSTDCALL GetSmallIcon(THandle* icon) override;
  HRESULT ZSTDCALL GetLargeIcon(THandle* icon) override;

  // The host's picture at a size of size x size pixels.
  static ui_runtime::IconImage Picture(int size);
};
