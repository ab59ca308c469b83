// The toolkit's form: a top-level window with a caption, icons and a modal loop.
//
// Headless, the modal loop delivers the user-interface messages that are queued (a
// person's actions) until the form closes; when nothing is queued it closes the form, as
// if the person had pressed Close. A view toolkit can run the loop instead.
#pragma once

#include <functional>

#include "PluginAPI/PluginAPI.h"
#include "ui/Control.h"

namespace Forms {

enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };
enum class TCloseAction { caNone, caHide, caFree };
enum TIconKind : int { ICON_SMALL = 0, ICON_BIG = 1 };

class TForm : public TControl {
 public:
  explicit TForm(UString name);
  ~TForm() override;
  UString ClassName() const override { return u"TForm"; }

  UString Caption;
  int ClientWidth = 0;
  int ClientHeight = 0;
  // The window that owns this one: the application object's handle.
  THandle OwnerHandle() const;

  // Shows the form modally and returns how it ended.
  virtual int ShowModal();
  // Asks the form to close. Inside the modal loop the request is carried out when control
  // is back in the loop, so a close asked for during long work waits for it to finish.
  void Close();
  int ModalResult() const { return modalResult_; }
  bool Showing() const { return showing_; }

  // The window's icon of the given kind; 0 for the toolkit's own.
  std::uint32_t Icon(TIconKind kind) const { return icons_[kind]; }
  // The window message WM_SETICON: the window takes icon and returns the one it held.
  std::uint32_t SetIconMessage(TIconKind kind, std::uint32_t icon);

  // Runs an event handler the way the toolkit does: an error that escapes it is shown in
  // the error box and goes no further.
  static void Dispatch(const std::function<void()>& handler);

 protected:
  // The step that runs just before the form becomes visible.
  virtual void DoShow() {}
  // The form became the active window.
  virtual void Activate() {}
  // The form is closing; setting action to caNone keeps it open.
  virtual void DoClose(TCloseAction& action) {}
  // Runs the loop itself; descendants wrap it.
  int RunModalLoop();

 private:
  void TryClose();

  int modalResult_ = mrNone;
  bool showing_ = false;
  bool closeRequested_ = false;
  std::uint32_t icons_[2] = {0, 0};
};

}  // namespace Forms
