#include "Plugins/UpdZorvik/qt/UpdZorvikQtView.h"

#include <QLabel>

#include "Plugins/UpdZorvik/qt/UpdZorvikLogo.h"
#include "ui/qt/QtButtonView.h"
#include "ui/qt/QtButtonedEditView.h"
#include "ui/qt/QtCheckGroupView.h"
#include "ui/qt/QtMemoView.h"
#include "ui/qt/QtProgressPaneView.h"
#include "ui/qt/QtRadioGroupView.h"
#include "ui/qt/QtStatusPaneView.h"
#include "ui/qt/QtToolkit.h"

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

QLabel* BoldLabel(const char16_t* text, QWidget* parent) {
  auto* label = new QLabel(qt_view::ToQString(text), parent);
  label->setFont(qt_view::DialogFont(true));
  return label;
}

}  // namespace

TUpdZorvikQtView::TUpdZorvikQtView(TfrmUpdZorvik& d) : TQtFormView(d) {
  QDialog* w = Window();
  const int width = d.ClientWidth, height = d.ClientHeight;
  const int statusTop = height - kStatusHeight;
  const int stripLeft = width - kStripWidth;

  // The button strip: Update and Close stacked at the top, the logo at the bottom.
  UpdateButton = new TQtButtonView(d.dbtUpdateOk, w);
  UpdateButton->setObjectName(QStringLiteral("dbtUpdateOk"));
  UpdateButton->setGeometry(stripLeft + 6, kStripTop, kStripWidth - 12, kButtonHeight);
  CloseButton = new TQtButtonView(d.dbtUpdateCancel, w);
  CloseButton->setObjectName(QStringLiteral("dbtUpdateCancel"));
  CloseButton->setGeometry(stripLeft + 6, kStripTop + kButtonHeight + kButtonGap, kStripWidth - 12, kButtonHeight);
  Logo = new TUpdZorvikLogo(w);
  Logo->setObjectName(QStringLiteral("imgLogo"));
  Logo->setGeometry(stripLeft + (kStripWidth - kLogoWidth) / 2, statusTop - kLogoHeight - 4, kLogoWidth, kLogoHeight);

  // The status bar: the info pane takes what the fixed panes leave.
  auto* bar = new QWidget(w);
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setGeometry(0, statusTop, width, kStatusHeight);
  const int pane2Width = d.StatusPane2.Width, progressWidth = d.psProgress.Width;
  const int infoWidth = width - pane2Width - progressWidth;
  Info = new TQtStatusPaneView(d.psInfo, bar);
  Info->setGeometry(0, 0, infoWidth, kStatusHeight);
  ProgressBar = new TQtProgressPaneView(d.psProgress, bar);
  ProgressBar->setObjectName(QStringLiteral("psProgress"));
  ProgressBar->setGeometry(infoWidth, 0, progressWidth, kStatusHeight);
  Pane2 = new TQtStatusPaneView(d.StatusPane2, bar);
  Pane2->setGeometry(infoWidth + progressWidth, 0, pane2Width, kStatusHeight);

  // The panel: top to bottom within the side margins; the log takes the rest.
  const int left = kMargin, inner = stripLeft - 2 * kMargin;
  BoldLabel(u"Source data", w)->setGeometry(left, 6, inner, 15);
  Source = new TQtButtonedEditView(d.edSource, w);
  Source->setObjectName(QStringLiteral("edSource"));
  Source->setGeometry(left, 22, inner, 21);
  Location = new TQtRadioGroupView(d.rgLocation, w);
  Location->setObjectName(QStringLiteral("rgLocation"));
  Location->setGeometry(left, 48, inner, 40);
  UseFields = new TQtCheckGroupView(d.cgUseFields, w);
  UseFields->setObjectName(QStringLiteral("cgUseFields"));
  UseFields->setGeometry(left, 92, inner, 58);
  BoldLabel(u"Progress", w)->setGeometry(left, 155, inner, 15);
  Progress = new TQtMemoView(d.mProgress, w);
  Progress->setObjectName(QStringLiteral("mProgress"));
  Progress->setGeometry(left, 171, inner, statusTop - 6 - 171);
}

std::unique_ptr<Forms::TFormView> UpdZorvikFormView(Forms::TForm& form) {
  if (!qt_view::Available()) return nullptr;
  if (auto* dialog = dynamic_cast<TfrmUpdZorvik*>(&form)) return std::make_unique<TUpdZorvikQtView>(*dialog);
  return std::make_unique<TQtFormView>(form);
}
