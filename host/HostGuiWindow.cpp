#include "host/HostGuiWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

#include "host/HostGuiCallbookModel.h"
#include "platform/OleAuto.h"
#include "ui/qt/QtToolkit.h"

namespace {

QString Hex(HRESULT hr) { return QStringLiteral("0x%1").arg(static_cast<std::uint32_t>(hr), 8, 16, QLatin1Char('0')).toUpper(); }

}  // namespace

THostGuiWindow::THostGuiWindow(THostCore& core) : core_(core) {
  setWindowTitle(QStringLiteral("zorvik-host"));
  resize(760, 520);
  qt_view::SetWindowHandle(this, Handle);
  core_.Windows.MainWindow = Handle;
  core_.Kernel.MessageHook = [this](const UString& text, const UString& caption) {
    QMessageBox::information(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this,
                             qt_view::ToQString(caption), qt_view::ToQString(text));
  };

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&Reload callbook"), this, [this] { Poll(true); });
  file->addSeparator();
  file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
  pluginMenu_ = menuBar()->addMenu(QStringLiteral("&Plug-ins"));

  model_ = new THostGuiCallbookModel(core_.Server.Db(), this);
  table_ = new QTableView;
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->verticalHeader()->setDefaultSectionSize(20);
  log_ = new QPlainTextEdit;
  log_->setReadOnly(true);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);
  log_->setMaximumBlockCount(5000);
  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(table_);
  split->addWidget(log_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  setCentralWidget(split);
  rows_ = new QLabel;
  statusBar()->addWidget(rows_);

  // The log and "REFRESH" are watched while the window lives, also during a plug-in's
  // modal dialog and its runs, which let Qt handle events as they go.
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, [this] { Poll(); });
  timer_->start(250);
  Refresh();
  ReadLog();
}

THostGuiWindow::~THostGuiWindow() {
  core_.Kernel.MessageHook = nullptr;
  core_.Windows.MainWindow = 0;
}

void THostGuiWindow::RebuildMenu() {
  pluginMenu_->clear();
  for (const auto& item : core_.Menus.Items()) {
    if (item->Deleted()) continue;
    QAction* action = pluginMenu_->addAction(qt_view::ToQString(item->Caption()));
    action->setToolTip(qt_view::ToQString(item->Hint()));
    action->setStatusTip(qt_view::ToQString(item->Hint()));
    action->setEnabled(item->Enabled());
    ComPtr<THostMenuItem> held = item;
    connect(action, &QAction::triggered, this, [this, held] {
      TCallError e = held->Click();
      Poll(true);
      RebuildMenu();
      if (Failed(e.Code)) {
        QString text = QStringLiteral("The plug-in reported HRESULT %1").arg(Hex(e.Code));
        if (!e.Description.empty()) text += QStringLiteral(":\n") + qt_view::ToQString(e.Description);
        QMessageBox::critical(this, QStringLiteral("zorvik-host"), text);
      }
    });
  }
  if (pluginMenu_->isEmpty()) pluginMenu_->addAction(QStringLiteral("(no plug-in items)"))->setEnabled(false);
}

void THostGuiWindow::Poll(bool forceRefresh) {
  if (forceRefresh || core_.Kernel.Value(u"REFRESH") == u"YES") {
    // Taken: the flag is cleared so that the next run's "YES" is seen again.
    if (!forceRefresh) core_.Kernel.SetValue(BStr(u"REFRESH").Get(), BStr(u"").Get());
    Refresh();
  }
  ReadLog();
}

void THostGuiWindow::Refresh() {
  try {
    model_->Reload();
    QString text = QStringLiteral("%1 callbook rows").arg(model_->TotalRows());
    if (model_->TotalRows() > THostGuiCallbookModel::Limit)
      text += QStringLiteral(", the first %1 shown").arg(THostGuiCallbookModel::Limit);
    rows_->setText(text);
  } catch (const Exception& e) {
    rows_->setText(QStringLiteral("The callbook cannot be read: ") + qt_view::ToQString(e.Message));
  }
}

void THostGuiWindow::ReadLog() {
  QFile file(qt_view::ToQString(core_.Kernel.LogPath()));
  if (!file.open(QIODevice::ReadOnly)) return;
  if (std::uintmax_t(file.size()) < logOffset_) logOffset_ = 0;
  if (std::uintmax_t(file.size()) == logOffset_) return;
  // At most the last megabyte at a time: the view keeps a bounded tail anyway.
  const qint64 cap = 1 << 20;
  qint64 from = std::max<qint64>(qint64(logOffset_), file.size() - cap);
  file.seek(from);
  QByteArray bytes = file.read(file.size() - from);
  int lastBreak = bytes.lastIndexOf('\n');
  if (lastBreak < 0) return;  // a line still being written
  bytes.truncate(lastBreak);
  logOffset_ = std::uintmax_t(from + lastBreak + 1);
  QScrollBar* bar = log_->verticalScrollBar();
  bool atEnd = bar->value() == bar->maximum();
  log_->appendPlainText(QString::fromUtf8(bytes));
  if (atEnd) bar->setValue(bar->maximum());
}
