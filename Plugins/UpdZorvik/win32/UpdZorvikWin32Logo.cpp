#include "Plugins/UpdZorvik/win32/UpdZorvikWin32Logo.h"

#include <cmath>
#include <memory>

#include "platform/SysUtils.h"

namespace {

// A GDI object selected into a DC for a scope, then put back and deleted.
class TSelected {
 public:
  TSelected(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), old_(SelectObject(dc, object)) {}
  ~TSelected() {
    SelectObject(dc_, old_);
    DeleteObject(object_);
  }
  TSelected(const TSelected&) = delete;
  TSelected& operator=(const TSelected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_, old_;
};

}  // namespace

TUpdZorvikWin32Logo::TUpdZorvikWin32Logo(HWND parent, const RECT& bounds)
    : window_(win32_view::CreateViewWindow(win32_view::TViewClass::Canvas, 0, WS_CHILD | WS_VISIBLE, bounds, parent)) {
  if (!window_) throw EOSError(u"The logo's window cannot be made", GetLastError());
  win32_view::SetHandler(window_, this);
}

void TUpdZorvikWin32Logo::Paint(HWND, HDC dc, const RECT& client) {
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  const COLORREF blue = RGB(0x1F, 0x5F, 0xAF), light = RGB(0xD6, 0xE6, 0xF7), orange = RGB(0xE0, 0x70, 0x20);
  // The picture is 87 x 66 and sits centred in whatever room the window has.
  const int ox = (client.right - 87) / 2, oy = (client.bottom - 66) / 2;
  const int cx = ox + 43, cy = oy + 24, r = 18;
  {
    // The globe: a disc with a meridian and two parallels.
    TSelected pen(dc, CreatePen(PS_SOLID, 2, blue));
    {
      TSelected brush(dc, CreateSolidBrush(light));
      Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
    }
    HGDIOBJ hollow = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    const int m = int(std::lround(r * 0.45));
    Ellipse(dc, cx - m, cy - r, cx + m + 1, cy + r + 1);
    MoveToEx(dc, cx - r, cy, nullptr);
    LineTo(dc, cx + r, cy);
    for (int dy : {-r / 2, r / 2}) {
      int half = int(std::lround(std::sqrt(double(r * r - dy * dy))));
      MoveToEx(dc, cx - half, cy + dy, nullptr);
      LineTo(dc, cx + half, cy + dy);
    }
    SelectObject(dc, hollow);
  }
  {
    // Radio waves on both sides.
    TSelected pen(dc, CreatePen(PS_SOLID, 2, orange));
    for (double k : {1.25, 1.5}) {
      const int R = int(std::lround(r * k));
      const double a = 35 * 3.14159265358979 / 180;
      const int dx = int(std::lround(R * std::cos(a))), dy = int(std::lround(R * std::sin(a)));
      // Arcs run counter-clockwise from the first point to the second.
      Arc(dc, cx - R, cy - R, cx + R, cy + R, cx + dx, cy + dy, cx + dx, cy - dy);
      Arc(dc, cx - R, cy - R, cx + R, cy + R, cx - dx, cy - dy, cx - dx, cy + dy);
    }
  }
  // The name.
  LOGFONTW lf{};
  GetObjectW(win32_view::DialogFont(true), sizeof lf, &lf);
  lf.lfHeight = -12;
  TSelected font(dc, CreateFontIndirectW(&lf));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, blue);
  RECT text{ox, oy + 46, ox + 87, oy + 64};
  DrawTextW(dc, L"Zorvik", -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}
