// The toolkit's own icon table, for window systems that keep no icons of their own.
#include "ui/UiRuntime.h"
#include "ui/UiRuntimeIconImage.h"

#include <map>

#include "platform/SysUtils.h"

namespace ui_runtime {
namespace {
struct Icon {
  UString description;
  IconImage image;
};
std::map<std::uint32_t, Icon> g_icons;
std::uint32_t g_nextIcon = 0x10000;
}  // namespace

std::uint32_t CreateIconHandle(UStringView description) { return CreateIconHandle(description, IconImage{}); }

std::uint32_t CreateIconHandle(UStringView description, IconImage image) {
  CheckIconImage(image);
  std::uint32_t h = g_nextIcon++;
  g_icons.emplace(h, Icon{UString(description), std::move(image)});
  return h;
}
bool DestroyIcon(std::uint32_t icon) { return g_icons.erase(icon) > 0; }
bool IconExists(std::uint32_t icon) { return g_icons.count(icon) > 0; }
UString IconDescription(std::uint32_t icon) {
  auto it = g_icons.find(icon);
  return it == g_icons.end() ? UString() : it->second.description;
}
IconImage GetIconImage(std::uint32_t icon) {
  auto it = g_icons.find(icon);
  return it == g_icons.end() ? IconImage{} : it->second.image;
}
}  // namespace ui_runtime
