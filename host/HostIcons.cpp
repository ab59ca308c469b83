#include "host/HostIcons.h"

#include <algorithm>
#include <cmath>

namespace {

// Blends colour into pixel p with coverage a (0..1).
void Blend(std::uint32_t& p, std::uint32_t colour, double a) {
  if (a <= 0) return;
  a = std::min(a, 1.0);
  auto ch = [](std::uint32_t v, int shift) { return double((v >> shift) & 0xFF); };
  double srcA = ch(colour, 24) / 255.0 * a, dstA = ch(p, 24) / 255.0;
  double outA = srcA + dstA * (1 - srcA);
  std::uint32_t out = std::uint32_t(std::lround(outA * 255)) << 24;
  for (int shift : {16, 8, 0}) {
    double c = outA > 0 ? (ch(colour, shift) * srcA + ch(p, shift) * dstA * (1 - srcA)) / outA : 0;
    out |= std::uint32_t(std::lround(c)) << shift;
  }
  p = out;
}

// Distance from (px, py) to the segment (ax, ay)-(bx, by).
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

}  // namespace

ui_runtime::IconImage THostIcons::Picture(int size) {
  // A blue disc carrying a white "Z": the host's mark.
  ui_runtime::IconImage image{size, size, std::vector<std::uint32_t>(std::size_t(size) * std::size_t(size), 0)};
  const double c = size / 2.0, r = size / 2.0 - 0.5, stroke = std::max(1.2, size / 9.0);
  const double l = size * 0.3, t = size * 0.28, rt = size * 0.7, b = size * 0.72;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double px = x + 0.5, py = y + 0.5;
      std::uint32_t& p = image.Pixels[std::size_t(y) * std::size_t(size) + std::size_t(x)];
      Blend(p, 0xFF1F5FAF, r + 0.5 - std::hypot(px - c, py - c));
      double d = std::min({SegmentDistance(px, py, l, t, rt, t), SegmentDistance(px, py, rt, t, l, b),
                           SegmentDistance(px, py, l, b, rt, b)});
      Blend(p, 0xFFFFFFFF, stroke / 2 + 0.5 - d);
    }
  return image;
}

HRESULT THostIcons::GetSmallIcon(THandle* icon) {
  return Call("GetSmallIcon", [&] {
    THandle& out = Out(icon);  // checked first, so a null address leaks no icon
    out = ui_runtime::CreateIconHandle(u"zorvik-host small icon", Picture(16));
  });
}

HRESULT THostIcons::GetLargeIcon(THandle* icon) {
  return Call("GetLargeIcon", [&] {
    THandle& out = Out(icon);
    out = ui_runtime::CreateIconHandle(u"zorvik-host large icon", Picture(32));
  });
}
