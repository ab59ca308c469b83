#include "ui/Form.h"

#include "ui/Application.h"
#include "ui/ButtonedEdit.h"
#include "ui/CheckGroup.h"
#include "ui/Memo.h"
#include "ui/RadioGroup.h"
#include "ui/UiRuntime.h"

namespace Forms {

TFormViewFactory& FormViewFactory() {
  static TFormViewFactory factory;
  return factory;
}

std::unique_ptr<TFormView> TForm::CreateView() {
  const TFormViewFactory& make = FormViewFactory();
  return make ? make(*this) : nullptr;
}

TForm::TForm(UString name) : TControl(std::move(name)) { SetVisible(false); }

// The window took over the icons it was given; they go with it.
TForm::~TForm() {
  for (std::uint32_t icon : icons_)
    if (icon) ui_runtime::DestroyIcon(icon);
}

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
  ui_runtime::PushModalTarget(this);
  struct Hide {
    TForm* f;
    TFormView* view;
    ~Hide() {
      ui_runtime::PopModalTarget(f);
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

namespace Forms {

TControl* TForm::FindControl(UStringView name) const {
  for (TControl* c : controls_)
    if (c->Name() == name) return c;
  return nullptr;
}

namespace {
[[noreturn]] void Unsupported(const ui_runtime::Action& a, const TControl& c) {
  throw EComponentError(u"Control '" + a.control + u"' (" + c.ClassName() + u") cannot take this action");
}

// The text a watcher sees of a control.
UString WatchedText(const TControl& c) {
  if (auto* m = dynamic_cast<const TMemo*>(&c)) return m->Text();
  if (auto* e = dynamic_cast<const TButtonedEdit*>(&c)) return e->Text();
  if (auto* p = dynamic_cast<const TStatusPane*>(&c)) return p->Text();
  if (auto* p = dynamic_cast<const TProgressPane*>(&c)) return IntToStr(p->Percent());
  return {};
}
}  // namespace

bool TForm::Perform(const ui_runtime::Action& a) {
  using K = ui_runtime::Action::Kind;
  if (a.kind == K::Close) {
    Close();
    return true;
  }
  TControl* c = FindControl(a.control);
  if (!c) throw EComponentError(u"The form has no control named '" + a.control + u"'");
  if (a.kind == K::Watch) {
    auto onText = a.onText;
    TControl* watched = c;
    c->AddChangeListener([onText, watched] {
      if (onText) onText(WatchedText(*watched));
    });
    if (onText) onText(WatchedText(*c));
    return true;
  }
  if (auto* b = dynamic_cast<TButton*>(c)) {
    if (a.kind != K::Press) Unsupported(a, *c);
    return b->Click();
  }
  if (auto* e = dynamic_cast<TButtonedEdit*>(c)) {
    switch (a.kind) {
      case K::Type: return e->UserType(a.text);
      case K::SetText: return e->UserReplaceText(a.text);
      case K::Backspace: return e->UserBackspace();
      case K::Paste: return e->UserPaste(a.text);
      case K::Cut: return e->UserCut();
      case K::Press: return e->ClickButton();
      default: Unsupported(a, *c);
    }
  }
  if (auto* r = dynamic_cast<TRadioGroup*>(c)) {
    if (a.kind != K::Select) Unsupported(a, *c);
    return r->UserSelect(a.index);
  }
  if (auto* g = dynamic_cast<TCheckGroup*>(c)) {
    if (a.kind == K::Toggle) return g->UserToggle(a.index);
    if (a.kind != K::Check) Unsupported(a, *c);
    if (a.index < 0 || a.index >= g->Count()) return false;
    return g->Checked(a.index) == a.checked || g->UserToggle(a.index);
  }
  Unsupported(a, *c);
}

}  // namespace Forms
