// The toolkit's form: a top-level window with a caption, icons and a modal loop.
//
// Headless, the modal loop delivers the user-interface messages that are queued (a
// person's actions) until the form closes; when nothing is queued it closes the form, as
// if the person had pressed Close. A view toolkit can run the loop instead.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "PluginAPI/PluginAPI.h"
#include "ui/Control.h"
#include "ui/UiRuntime.h"

namespace Forms {

enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };
enum class TCloseAction { caNone, caHide, caFree };
// The two icons of a window, numbered as the icon message numbers them.
enum TIconKind : int { ikSmall = 0, ikBig = 1 };

class TForm;

// A real window for a form, from a view toolkit. The form keeps its modal loop; the view
// shows the window, hands the person's input to the form's controls through their own
// methods (as automation does), and lets the loop wait for the window system's events.
class TFormView {
 public:
  virtual ~TFormView() = default;
  // Shows the window modally over its owner.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // Handles the window system's pending events; with wait, waits for at least one first.
  virtual void ProcessEvents(bool wait) = 0;
};

// Makes the view of a form, or null to run it headless. Empty by default: every form of
// this module then runs headless. A module that finds a window system sets it; the
// accessor makes it usable from any other unit's initialisation.
using TFormViewFactory = std::function<std::unique_ptr<TFormView>(TForm& form)>;
TFormViewFactory& FormViewFactory();

class TForm : public TControl, public ui_runtime::AutomationTarget {
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

  // Makes a control reachable by its name, for automation and views. The control must
  // live as long as the form.
  void RegisterControl(TControl& control) { controls_.push_back(&control); }
  TControl* FindControl(UStringView name) const;
  const std::vector<TControl*>& Controls() const { return controls_; }
  // Carries out a person's action on one of the registered controls.
  bool Perform(const ui_runtime::Action& action) override;

 protected:
  // The step that runs just before the form becomes visible.
  virtual void DoShow() {}
  // The form became the active window.
  virtual void Activate() {}
  // The form is closing; setting action to caNone keeps it open.
  virtual void DoClose(TCloseAction& action) {}
  // Runs the loop itself; descendants wrap it.
  int RunModalLoop();
  // The view this form's modal show uses; by default the module's FormViewFactory.
  virtual std::unique_ptr<TFormView> CreateView();

 private:
  void TryClose();

  int modalResult_ = mrNone;
  bool showing_ = false;
  bool closeRequested_ = false;
  std::vector<TControl*> controls_;
  std::uint32_t icons_[2] = {0, 0};
};

}  // namespace Forms
