#include "ui/Form.h"

#include "ui/Application.h"
#include "ui/UiRuntime.h"

namespace Forms {

TFormViewFactory FormViewFactory;

std::unique_ptr<TFormView> TForm::CreateView() { return FormViewFactory ? FormViewFactory(*this) : nullptr; }

TForm::TForm(UString name) : TControl(std::move(name)) { SetVisible(false); }

// Icons a window was given stay with their giver: the form never destroys them.
TForm::~TForm() = default;

THandle TForm::OwnerHandle() const { return Application().Handle(); }

std::uint32_t TForm::SetIconMessage(TIconKind kind, std::uint32_t icon) {
  std::uint32_t old = icons_[kind];
  icons_[kind] = icon;
  Changed();
  return old;
}

void TForm::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const Exception& e) {
    Application().ShowException(e);
  } catch (const std::bad_alloc&) {
    Application().ShowException(EOutOfMemory(u"Out of memory"));
  }
}

void TForm::Close() {
  if (showing_) {
    closeRequested_ = true;
    return;
  }
  TCloseAction action = TCloseAction::caHide;
  DoClose(action);
}

int TForm::ShowModal() { return RunModalLoop(); }

int TForm::RunModalLoop() {
  modalResult_ = mrNone;
  closeRequested_ = false;
  std::unique_ptr<TFormView> view = CreateView();
  DoShow();
  showing_ = true;
  SetVisible(true);
  if (view) view->Show();
  struct Hide {
    TForm* f;
    TFormView* view;
    ~Hide() {
      if (view) view->Hide();
      f->showing_ = false;
      f->SetVisible(false);
    }
  } hide{this, view.get()};
  Dispatch([this] { Activate(); });
  bool gaveUp = false;
  while (modalResult_ == mrNone) {
    if (closeRequested_) {
      TryClose();
      continue;
    }
    if (Application().HandleMessage(true)) continue;
    if (view) {
      // A person is there: wait for what they do.
      Dispatch([&] { view->ProcessEvents(true); });
      continue;
    }
    if (gaveUp) {
      // Nothing is queued and the form refused to close: no person is there to act, so
      // the loop ends without closing again.
      modalResult_ = mrCancel;
      break;
    }
    TryClose();
    gaveUp = modalResult_ == mrNone;
  }
  return modalResult_;
}

void TForm::TryClose() {
  closeRequested_ = false;
  TCloseAction action = TCloseAction::caHide;
  bool closed = false;
  Dispatch([&] {
    DoClose(action);
    closed = true;
  });
  if (closed && action != TCloseAction::caNone) modalResult_ = mrCancel;
}

}  // namespace Forms
