#include "ui/win32/Win32ProgressPaneView.h"

#include <algorithm>

TWin32ProgressPaneView::TWin32ProgressPaneView(TProgressPane& pane, HWND parent, const RECT& bounds)
    : pane_(pane),
      window_(win32_view::CreateViewWindow(win32_view::TViewClass::Canvas, 0, WS_CHILD | WS_VISIBLE, bounds, parent)) {
  if (!window_) throw EOSError(u"The progress pane's window cannot be made", GetLastError());
  win32_view::SetHandler(window_, this);
  link_.Connect(pane_, [this] { Sync(); });
  Sync();
}

int TWin32ProgressPaneView::LitSegments() const {
  const int segments = std::max(pane_.Segments, 1);
  return std::min(segments, int(pane_.Percent()) * segments / 100);
}

RECT TWin32ProgressPaneView::Segment(int index) const {
  RECT client;
  GetClientRect(window_, &client);
  // Inside the one-pixel sunken edge and a pixel of padding.
  const int left = client.left + 2, top = client.top + 2, bottom = std::max<int>(top + 1, client.bottom - 2);
  const int width = std::max(0, int(client.right - 2 - left));
  const int segments = std::max(pane_.Segments, 1), gap = 1;
  const int total = std::max(0, width - gap * (segments - 1));
  int x = left;
  for (int i = 0; i < index; ++i) x += total / segments + (i < total % segments ? 1 : 0) + gap;
  const int w = std::max(1, total / segments + (index < total % segments ? 1 : 0));
  return RECT{x, top, x + w, bottom};
}

void TWin32ProgressPaneView::Sync() {
  ShowWindow(window_, pane_.Visible() ? SW_SHOWNA : SW_HIDE);
  InvalidateRect(window_, nullptr, FALSE);
}

void TWin32ProgressPaneView::Paint(HWND, HDC dc, const RECT& client) {
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  RECT edge = client;
  DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
  const int segments = std::max(pane_.Segments, 1), lit = LitSegments();
  struct Brush {
    HBRUSH h;
    ~Brush() { DeleteObject(h); }
  } on{CreateSolidBrush(kLit)}, off{CreateSolidBrush(kUnlit)};
  for (int i = 0; i < segments; ++i) {
    RECT r = Segment(i);
    FillRect(dc, &r, i < lit ? on.h : off.h);
  }
}
