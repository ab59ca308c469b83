// The rule both sides of the toolkit's icons apply to a picture. Used by the toolkit's
// run-time only.
#pragma once

#include "platform/SysUtils.h"
#include "ui/UiRuntime.h"

namespace ui_runtime {
// Passes an empty picture or one of 1 to 256 pixels each way with one value per pixel;
// raises EInvalidOperation for anything else.
inline void CheckIconImage(const IconImage& image) {
  bool empty = image.Width == 0 && image.Height == 0 && image.Pixels.empty();
  if (!empty && (image.Width < 1 || image.Width > 256 || image.Height < 1 || image.Height > 256 ||
                 image.Pixels.size() != std::size_t(image.Width) * std::size_t(image.Height)))
    throw EInvalidOperation(u"An icon's picture must be 1 to 256 pixels each way, with one value per pixel.");
}
}  // namespace ui_runtime
