// The update dialog's window on Windows: its controls' views laid out as the dialog is
// designed, the same as its Qt window.
#pragma once

#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "ui/win32/Win32FormView.h"

class TWin32ButtonView;
class TWin32ButtonedEditView;
class TWin32CheckGroupView;
class TWin32MemoView;
class TWin32ProgressPaneView;
class TWin32RadioGroupView;
class TWin32StatusPaneView;

// Client area 394 x 290: the button strip with the logo at the right, the status bar at
// the bottom, and the panel with the source, location, fields and log on the left.
class TUpdZorvikWin32View : public TWin32FormView {
 public:
  explicit TUpdZorvikWin32View(TfrmUpdZorvik& dialog);

  TWin32ButtonView* UpdateButton = nullptr;
  TWin32ButtonView* CloseButton = nullptr;
  TWin32ButtonedEditView* Source = nullptr;
  TWin32RadioGroupView* Location = nullptr;
  TWin32CheckGroupView* UseFields = nullptr;
  TWin32MemoView* Progress = nullptr;
  TWin32StatusPaneView* Info = nullptr;
  TWin32ProgressPaneView* ProgressBar = nullptr;
  TWin32StatusPaneView* Pane2 = nullptr;
  HWND Logo = nullptr;
};

// The module's form views: the dialog's own layout for the update dialog, the plain form
// view for any other form, and none (headless) where no window can be made.
std::unique_ptr<Forms::TFormView> UpdZorvikWin32FormView(Forms::TForm& form);
