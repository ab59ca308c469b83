// Icons on Windows are the system's: a handle is an HICON, which the host and every module
// share through user32 as they share the process. Pictures become icons through
// CreateIconIndirect and come back through GetIconInfo.
#include <map>
#include <memory>

#include "platform/SysUtils.h"
#include "platform/WinText.h"
#include "ui/UiRuntime.h"
#include "ui/UiRuntimeIconImage.h"

namespace ui_runtime {
namespace {

// Icon handles travel as 32-bit numbers; the system keeps its user handles within 32 bits.
HICON IconOf(std::uint32_t icon) { return reinterpret_cast<HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(icon))); }
std::uint32_t NumberOf(HICON icon) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(icon)); }

// Descriptions of the icons made here; an icon made elsewhere has none.
std::map<std::uint32_t, UString> g_descriptions;

struct TBitmapDeleter {
  void operator()(HBITMAP b) const { DeleteObject(b); }
};
using TBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, TBitmapDeleter>;

struct TScreenDc {
  HDC dc = GetDC(nullptr);
  ~TScreenDc() { ReleaseDC(nullptr, dc); }
};

HICON MakeIcon(const IconImage& image) {
  // An icon made without a picture is one transparent pixel.
  const int width = std::max(image.Width, 1), height = std::max(image.Height, 1);
  BITMAPV5HEADER h{};
  h.bV5Size = sizeof h;
  h.bV5Width = width;
  h.bV5Height = -height;  // rows from the top
  h.bV5Planes = 1;
  h.bV5BitCount = 32;
  h.bV5Compression = BI_BITFIELDS;
  h.bV5RedMask = 0x00FF0000;
  h.bV5GreenMask = 0x0000FF00;
  h.bV5BlueMask = 0x000000FF;
  h.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  TScreenDc screen;
  TBitmap colour(CreateDIBSection(screen.dc, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!colour || !bits) throw EOutOfResources(u"No bitmap could be made for an icon");
  auto* pixels = static_cast<std::uint32_t*>(bits);
  const std::size_t count = std::size_t(width) * std::size_t(height);
  for (std::size_t i = 0; i < count; ++i) pixels[i] = image.Pixels.empty() ? 0 : image.Pixels[i];
  GdiFlush();
  // The mask is unused for 32-bit pictures with alpha, but must be there.
  TBitmap mask(CreateBitmap(width, height, 1, 1, nullptr));
  ICONINFO info{TRUE, 0, 0, mask.get(), colour.get()};
  HICON icon = CreateIconIndirect(&info);
  if (!icon) throw EOutOfResources(u"No icon could be made");
  return icon;
}

}  // namespace

std::uint32_t CreateIconHandle(UStringView description) { return CreateIconHandle(description, IconImage{}); }

std::uint32_t CreateIconHandle(UStringView description, IconImage image) {
  CheckIconImage(image);
  std::uint32_t h = NumberOf(MakeIcon(image));
  g_descriptions[h] = UString(description);
  return h;
}

bool DestroyIcon(std::uint32_t icon) {
  g_descriptions.erase(icon);
  return icon && ::DestroyIcon(IconOf(icon));
}

bool IconExists(std::uint32_t icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(IconOf(icon), &info)) return false;
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return true;
}

UString IconDescription(std::uint32_t icon) {
  auto it = g_descriptions.find(icon);
  return it == g_descriptions.end() || !IconExists(icon) ? UString() : it->second;
}

IconImage GetIconImage(std::uint32_t icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(IconOf(icon), &info)) return {};
  TBitmap mask(info.hbmMask), colour(info.hbmColor);
  BITMAP bm{};
  if (!colour || !GetObjectW(colour.get(), sizeof bm, &bm) || bm.bmWidth < 1 || bm.bmWidth > 256 || bm.bmHeight < 1 ||
      bm.bmHeight > 256)
    return {};
  IconImage image{bm.bmWidth, bm.bmHeight, std::vector<std::uint32_t>(std::size_t(bm.bmWidth) * std::size_t(bm.bmHeight))};
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = bm.bmWidth;
  bi.bmiHeader.biHeight = -bm.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  TScreenDc screen;
  if (GetDIBits(screen.dc, colour.get(), 0, UINT(bm.bmHeight), image.Pixels.data(), &bi, DIB_RGB_COLORS) != bm.bmHeight)
    return {};
  return image;
}

}  // namespace ui_runtime
