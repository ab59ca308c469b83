#include "ui/qt/QtButtonedEditView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>

#include "ui/Form.h"
#include "ui/qt/QtToolkit.h"

namespace {

// The browse button's face: three dots.
QIcon EllipsisIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x30, 0x30, 0x30));
  for (int x : {3, 7, 11}) p.drawRect(x, 10, 2, 2);
  return QIcon(pixmap);
}

}  // namespace

TQtButtonedEditView::TQtButtonedEditView(TButtonedEdit& edit, QWidget* parent) : QLineEdit(parent), edit_(edit) {
  setFont(qt_view::DialogFont());
  // Dropped text would bypass the object's rules.
  setDragEnabled(false);
  setAcceptDrops(false);
  browse_ = addAction(EllipsisIcon(), QLineEdit::TrailingPosition);
  browse_->setToolTip(QStringLiteral("Browse (F4)"));
  connect(browse_, &QAction::triggered, this, [this] { Forms::TForm::Dispatch([this] { edit_.ClickButton(); }); });
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { Edited(text); });
  link_.Connect(edit_, [this] { Sync(); });
  Sync();
}


void TQtButtonedEditView::Sync() {
  syncing_ = true;
  QString text = qt_view::ToQString(edit_.Text());
  if (text != this->text()) {
    bool atEnd = cursorPosition() == this->text().size();
    int position = cursorPosition();
    setText(text);
    // Text set by code shows from its start, as an edit control shows new text; after a
    // person's edit the caret stays where the person was typing.
    if (!personEditing_)
      setCursorPosition(0);
    else
      setCursorPosition(atEnd ? int(text.size()) : std::min(position, int(text.size())));
  }
  setReadOnly(edit_.ReadOnly);
  setEnabled(edit_.Enabled());
  setVisible(edit_.Visible());
  browse_->setVisible(edit_.ButtonVisible());
  syncing_ = false;
}

void TQtButtonedEditView::Route(const std::function<bool()>& edit) {
  personEditing_ = true;
  Forms::TForm::Dispatch([&] { edit(); });
  Sync();
  personEditing_ = false;
}

void TQtButtonedEditView::Edited(const QString& text) {
  if (syncing_) return;
  // Context-menu edits, undo and edits inside the text arrive here, already shown.
  int position = cursorPosition();
  UString changed = qt_view::FromQString(text);
  Route([&] { return edit_.UserReplaceText(changed); });
  if (this->text() == text) setCursorPosition(position);
}

void TQtButtonedEditView::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_F4 && mods == Qt::NoModifier) {
    if (edit_.ButtonVisible()) Forms::TForm::Dispatch([this] { edit_.ClickButton(); });
    event->accept();
    return;
  }
  const bool atEnd = !hasSelectedText() && cursorPosition() == text().size();
  if (event->matches(QKeySequence::Paste)) {
    QString pasted = QApplication::clipboard()->text();
    if (atEnd) {
      UString text = qt_view::FromQString(pasted);
      Route([&] { return edit_.UserPaste(text); });
      event->accept();
      return;
    }
  } else if (event->matches(QKeySequence::Cut)) {
    if (hasSelectedText() && selectedText() == text()) {
      if (edit_.TypingAllowed && !edit_.ReadOnly) QApplication::clipboard()->setText(selectedText());
      Route([&] { return edit_.UserCut(); });
      event->accept();
      return;
    }
  } else if (event->key() == Qt::Key_Backspace && mods == Qt::NoModifier && atEnd) {
    Route([&] { return edit_.UserBackspace(); });
    event->accept();
    return;
  } else if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !event->text().isEmpty() &&
             event->text().at(0).isPrint() && atEnd) {
    UString typed = qt_view::FromQString(event->text());
    Route([&] { return edit_.UserType(typed); });
    event->accept();
    return;
  }
  // Anything else (editing inside the text, Delete, undo) changes the text through
  // QLineEdit and reaches the object as a replacement, which it may refuse.
  QLineEdit::keyPressEvent(event);
}
