// The Qt view of a multi-line text box.
#pragma once

#include <QPlainTextEdit>

#include "ui/Memo.h"
#include "ui/qt/QtToolkit.h"

// Shows the object's text with its line breaks, scrolled so that the object's top line
// is the first in view as far as the scroll range allows; a log that scrolls its last
// line to the top so stays at its end. Text that only grows is appended, not reset.
class TQtMemoView : public QPlainTextEdit {
 public:
  TQtMemoView(TMemo& memo, QWidget* parent);
  void Sync();

 private:
  TMemo& memo_;
  qt_view::TControlLink link_;
  UString shown_;
};
