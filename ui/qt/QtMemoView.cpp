#include "ui/qt/QtMemoView.h"

#include <QScrollBar>
#include <QTextCursor>

#include "ui/qt/QtToolkit.h"

namespace {

// CR LF, and a CR or LF alone, each become one line break.
QString Lines(UStringView text) {
  QString s = qt_view::ToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

}  // namespace

TQtMemoView::TQtMemoView(TMemo& memo, QWidget* parent) : QPlainTextEdit(parent), memo_(memo) {
  setFont(qt_view::DialogFont());
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setBackgroundRole(QPalette::Base);
  setUndoRedoEnabled(false);
  link_.Connect(memo_, [this] { Sync(); });
  Sync();
}


void TQtMemoView::Sync() {
  setReadOnly(memo_.ReadOnly);
  setLineWrapMode(memo_.WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  setEnabled(memo_.Enabled());
  setVisible(memo_.Visible());
  const UString& text = memo_.Text();
  if (text != shown_) {
    bool grows = !shown_.empty() && text.size() > shown_.size() && shown_.back() != u'\r' &&
                 UStringView(text).substr(0, shown_.size()) == shown_;
    if (grows) {
      QTextCursor end(document());
      end.movePosition(QTextCursor::End);
      end.insertText(Lines(UStringView(text).substr(shown_.size())));
    } else {
      setPlainText(Lines(text));
    }
    shown_ = text;
  }
  verticalScrollBar()->setValue(memo_.TopLine());
}
