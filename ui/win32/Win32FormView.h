// The Win32 view of a form: a fixed-size dialog window owned by the host's window.
#pragma once

#include <memory>
#include <vector>

#include "ui/Form.h"
#include "ui/win32/Win32Toolkit.h"

// The window of a form while its modal loop runs. It takes the form's caption, client
// size and icons (WM_SETICON), is owned by the window the form's owner handle names and
// shows centred on it (else on the screen's work area), with the owner disabled until it
// hides; the thread's other windows are disabled with it, so that a form shown over
// another one is modal to both. The loop waits for and handles the thread's messages with the dialog keys: the
// title-bar close asks TForm::Close, Esc clicks the visible cancel button (or asks
// TForm::Close when there is none), Enter clicks the visible default button. Actions
// another module sends (win32_view::SendAction) are queued for the loop while the form
// shows, so the host's automation drives it as it drives a headless form. The views
// of its controls are added by whoever makes the view and live as long as it.
class TWin32FormView : public Forms::TFormView, public win32_view::TWindowHandler {
 public:
  // Raises EOSError when the window cannot be made.
  explicit TWin32FormView(Forms::TForm& form);
  ~TWin32FormView() override;

  HWND Window() const { return window_; }
  Forms::TForm& Form() const { return form_; }

  void Show() override;
  void Hide() override;
  void ProcessEvents(bool wait) override;

  // The form's caption and icons, shown again.
  void Sync();

  // Makes the view of a control, which the form view keeps.
  template <class V, class... A>
  V* Add(A&&... args) {
    auto view = std::make_unique<V>(std::forward<A>(args)...);
    V* result = view.get();
    children_.push_back(std::move(view));
    return result;
  }

  bool FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // A view for any form while windows can be made, else null (the form runs headless).
  static std::unique_ptr<Forms::TFormView> Make(Forms::TForm& form);

 private:
  void ClickButton(bool cancel);

  Forms::TForm& form_;
  HWND window_ = nullptr;
  // The windows this form disabled for its modal show, the owner among them.
  std::vector<HWND> disabled_;
  std::vector<std::unique_ptr<win32_view::TWindowHandler>> children_;
  win32_view::TControlLink link_;
};
