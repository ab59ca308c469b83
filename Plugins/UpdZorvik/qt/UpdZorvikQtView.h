// The update dialog's window: its controls' views laid out as the dialog is designed.
#pragma once

#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "ui/qt/QtFormView.h"

class TQtButtonView;
class TQtButtonedEditView;
class TQtCheckGroupView;
class TQtMemoView;
class TQtProgressPaneView;
class TQtRadioGroupView;
class TQtStatusPaneView;
class TUpdZorvikLogo;

// Client area 394 x 290: the button strip with the logo at the right, the status bar at
// the bottom, and the panel with the source, location, fields and log on the left.
class TUpdZorvikQtView : public TQtFormView {
 public:
  explicit TUpdZorvikQtView(TfrmUpdZorvik& dialog);

  TQtButtonView* UpdateButton = nullptr;
  TQtButtonView* CloseButton = nullptr;
  TQtButtonedEditView* Source = nullptr;
  TQtRadioGroupView* Location = nullptr;
  TQtCheckGroupView* UseFields = nullptr;
  TQtMemoView* Progress = nullptr;
  TQtStatusPaneView* Info = nullptr;
  TQtProgressPaneView* ProgressBar = nullptr;
  TQtStatusPaneView* Pane2 = nullptr;
  TUpdZorvikLogo* Logo = nullptr;
};

// The module's form views: the dialog's own layout for the update dialog, the plain
// form view for any other form, and none (headless) without a QApplication.
std::unique_ptr<Forms::TFormView> UpdZorvikFormView(Forms::TForm& form);
