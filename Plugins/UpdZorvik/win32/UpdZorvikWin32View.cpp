#include "Plugins/UpdZorvik/win32/UpdZorvikWin32View.h"

#include "Plugins/UpdZorvik/win32/UpdZorvikWin32Logo.h"
#include "ui/win32/Win32ButtonView.h"
#include "ui/win32/Win32ButtonedEditView.h"
#include "ui/win32/Win32CheckGroupView.h"
#include "ui/win32/Win32MemoView.h"
#include "ui/win32/Win32ProgressPaneView.h"
#include "ui/win32/Win32RadioGroupView.h"
#include "ui/win32/Win32StatusPaneView.h"

namespace {

// The design's measures, in pixels at 96 dpi.
constexpr int kStripWidth = 87;
constexpr int kStripTop = 20;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 6;
constexpr int kLogoWidth = 87;
constexpr int kLogoHeight = 66;
constexpr int kStatusHeight = 19;
constexpr int kMargin = 15;

RECT Box(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

void BoldLabel(const char16_t* text, HWND parent, const RECT& bounds) {
  win32_view::CreateControl(L"STATIC", text, WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, bounds, parent, 0, true);
}

}  // namespace

TUpdZorvikWin32View::TUpdZorvikWin32View(TfrmUpdZorvik& d) : TWin32FormView(d) {
  HWND w = Window();
  const int width = d.ClientWidth, height = d.ClientHeight;
  const int statusTop = height - kStatusHeight;
  const int stripLeft = width - kStripWidth;
  const int left = kMargin, inner = stripLeft - 2 * kMargin;

  // The panel, in tab order: top to bottom within the side margins; the log takes the rest.
  BoldLabel(u"Source data", w, Box(left, 6, inner, 15));
  Source = Add<TWin32ButtonedEditView>(d.edSource, w, Box(left, 22, inner, 21));
  Location = Add<TWin32RadioGroupView>(d.rgLocation, w, Box(left, 48, inner, 40));
  UseFields = Add<TWin32CheckGroupView>(d.cgUseFields, w, Box(left, 92, inner, 58));
  BoldLabel(u"Progress", w, Box(left, 155, inner, 15));
  Progress = Add<TWin32MemoView>(d.mProgress, w, Box(left, 171, inner, statusTop - 6 - 171));

  // The button strip: Update and Close stacked at the top, the logo at the bottom.
  UpdateButton = Add<TWin32ButtonView>(d.dbtUpdateOk, w, Box(stripLeft + 6, kStripTop, kStripWidth - 12, kButtonHeight));
  CloseButton = Add<TWin32ButtonView>(d.dbtUpdateCancel, w,
                                      Box(stripLeft + 6, kStripTop + kButtonHeight + kButtonGap, kStripWidth - 12, kButtonHeight));
  Logo = Add<TUpdZorvikWin32Logo>(w, Box(stripLeft + (kStripWidth - kLogoWidth) / 2, statusTop - kLogoHeight - 4, kLogoWidth,
                                         kLogoHeight))
             ->Window();

  // The status bar: the info pane takes what the fixed panes leave.
  const int pane2Width = d.StatusPane2.Width, progressWidth = d.psProgress.Width;
  const int infoWidth = width - pane2Width - progressWidth;
  Info = Add<TWin32StatusPaneView>(d.psInfo, w, Box(0, statusTop, infoWidth, kStatusHeight));
  ProgressBar = Add<TWin32ProgressPaneView>(d.psProgress, w, Box(infoWidth, statusTop, progressWidth, kStatusHeight));
  Pane2 = Add<TWin32StatusPaneView>(d.StatusPane2, w, Box(infoWidth + progressWidth, statusTop, pane2Width, kStatusHeight));
}

std::unique_ptr<Forms::TFormView> UpdZorvikWin32FormView(Forms::TForm& form) {
  try {
    if (auto* dialog = dynamic_cast<TfrmUpdZorvik*>(&form)) return std::make_unique<TUpdZorvikWin32View>(*dialog);
    return std::make_unique<TWin32FormView>(form);
  } catch (const EOSError&) {
    // No window could be made (no desktop): the form runs headless.
    return nullptr;
  }
}
