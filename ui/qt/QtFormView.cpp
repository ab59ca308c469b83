#include "ui/qt/QtFormView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>

#include "ui/qt/QtButtonView.h"
#include "ui/qt/QtToolkit.h"

namespace {

// The dialog window: closing and the dialog keys go to the form and its buttons.
class TFormWindow : public QDialog {
 public:
  explicit TFormWindow(Forms::TForm& form) : form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The form's loop decides; it hides the window when the form has closed.
    event->ignore();
    Forms::TForm::Dispatch([this] { form_.Close(); });
  }
  void reject() override { Escape(); }
  void keyPressEvent(QKeyEvent* event) override {
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier && event->key() == Qt::Key_Escape) {
      Escape();
      event->accept();
      return;
    }
    if (mods == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
      if (TQtButtonView* button = Find([](const TButton& b) { return b.Default; }))
        Forms::TForm::Dispatch([button] { button->Button().Click(); });
      event->accept();
      return;
    }
    QDialog::keyPressEvent(event);
  }

 private:
  template <class P>
  TQtButtonView* Find(P wanted) const {
    for (TQtButtonView* b : findChildren<TQtButtonView*>())
      if (wanted(b->Button()) && b->Button().Visible()) return b;
    return nullptr;
  }
  void Escape() {
    if (TQtButtonView* button = Find([](const TButton& b) { return b.Cancel; }))
      Forms::TForm::Dispatch([button] { button->Button().Click(); });
    else
      Forms::TForm::Dispatch([this] { form_.Close(); });
  }
  Forms::TForm& form_;
};

}  // namespace

TQtFormView::TQtFormView(Forms::TForm& form) : form_(form), window_(new TFormWindow(form)) {
  window_->setFont(qt_view::DialogFont());
  window_->setObjectName(qt_view::ToQString(form_.Name()));
  if (form_.ClientWidth > 0 && form_.ClientHeight > 0) window_->setFixedSize(form_.ClientWidth, form_.ClientHeight);
  link_.Connect(form_, [this] { Sync(); });
  Sync();
}

TQtFormView::~TQtFormView() {
  delete window_.data();
}

void TQtFormView::Sync() {
  if (!window_) return;
  window_->setWindowTitle(qt_view::ToQString(form_.Caption));
  window_->setWindowIcon(qt_view::WindowIcon(form_.Icon(Forms::ikSmall), form_.Icon(Forms::ikBig)));
}

void TQtFormView::Show() {
  if (!window_) return;
  QWidget* owner = qt_view::WindowForHandle(form_.OwnerHandle());
  // A fixed border: no resizing, no maximising; the owner keeps the window on top.
  window_->setParent(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  window_->setWindowModality(Qt::ApplicationModal);
  Sync();
  QRect area;
  if (owner)
    area = owner->frameGeometry();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    area = screen->availableGeometry();
  auto centre = [&] {
    QRect frame = window_->frameGeometry();
    frame.moveCenter(area.center());
    window_->move(frame.topLeft());
  };
  centre();
  window_->show();
  // The frame's size is known for sure once the window is shown.
  centre();
  window_->raise();
  window_->activateWindow();
}

void TQtFormView::Hide() {
  if (window_) window_->hide();
}

void TQtFormView::ProcessEvents(bool wait) {
  qt_view::SyncBusyCursor();
  QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents;
  if (wait) flags |= QEventLoop::WaitForMoreEvents;
  QCoreApplication::processEvents(flags);
}

std::unique_ptr<Forms::TFormView> TQtFormView::Make(Forms::TForm& form) {
  if (!qt_view::Available()) return nullptr;
  return std::make_unique<TQtFormView>(form);
}
