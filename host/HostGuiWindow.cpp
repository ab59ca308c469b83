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
#include "host/HostGuiPreview.h"
#include "platform/OleAuto.h"
#include "ui/IniFile.h"
#include "ui/qt/QtToolkit.h"

namespace {

QString Hex(HRESULT hr) { return QStringLiteral("0x%1").arg(static_cast<std::uint32_t>(hr), 8, 16, QLatin1Char('0')).toUpper(); }

// What the journal records as a run's source and fields: the person picks them in the
// plug-in's dialog, after the run has been opened.
constexpr char16_t kChosenInDialog[] = u"chosen in the dialog";

// Calls its function when it goes out of scope.
template <class F>
class TOnExit {
 public:
  explicit TOnExit(F f) : f_(std::move(f)) {}
  ~TOnExit() { f_(); }
  TOnExit(const TOnExit&) = delete;
  TOnExit& operator=(const TOnExit&) = delete;

 private:
  F f_;
};

UString U(const std::string& text) { return Utf8ToUString(text); }

// "1 row" or "2 rows".
UString Count(std::int64_t n, UStringView one, UStringView many) {
  return U(GroupDigits(n)) + u" " + UString(n == 1 ? one : many);
}

UString Quoted(const std::optional<UString>& value) { return value ? u"\"" + *value + u"\"" : UString(u"NULL"); }

UString Joined(const std::vector<std::string>& lines) {
  UString out;
  for (const std::string& line : lines) out += (out.empty() ? u"" : u", ") + U(line);
  return out;
}

// The source and fields the plug-in's dialog stores in the host's settings file when it
// closes after a successful run: "Resource" and the field boxes of its section, the
// fields named as the command line names them. Nothing when the file holds none or
// cannot be read.
std::optional<std::pair<UString, UString>> DialogChoices(const UString& iniPath) {
  static constexpr const char16_t* kKeys[] = {u"Name", u"QTH", u"Grid", u"State", u"Manager"};
  static constexpr const char16_t* kWords[] = {u"name", u"qth", u"grid", u"state", u"qsl"};
  try {
    TIniFile ini(iniPath);
    UString source = ini.ReadString(u"Zorvik", u"Resource", u"");
    if (source.empty()) return std::nullopt;
    UString fields;
    for (int i = 0; i < 5; ++i)
      if (ini.ReadBool(u"Zorvik", kKeys[i], false)) fields += (fields.empty() ? u"" : u",") + UString(kWords[i]);
    return std::pair{source, fields};
  } catch (const Exception&) {
    return std::nullopt;
  }
}

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
  QMenu* callbook = menuBar()->addMenu(QStringLiteral("&Callbook"));
  previewAction_ = callbook->addAction(QStringLiteral("Preview update\u2026"), this, [this] { PreviewUpdate(); });
  previewAction_->setStatusTip(QStringLiteral("Run the plug-in's update and show what it would change, then take it back"));
  undoAction_ = callbook->addAction(QStringLiteral("Undo last update"), this, [this] { UndoLastUpdate(); });
  undoAction_->setStatusTip(QStringLiteral("Give the rows the newest update run changed their earlier values again"));

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
  EnableCommands();
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
    connect(action, &QAction::triggered, this, [this, held] { RunItem(*held.Get(), THostRun::TMode::Journal); });
  }
  if (pluginMenu_->isEmpty()) pluginMenu_->addAction(QStringLiteral("(no plug-in items)"))->setEnabled(false);
  EnableCommands();
}

void THostGuiWindow::EnableCommands() {
  bool anyItem = false;
  for (const auto& item : core_.Menus.Items()) anyItem = anyItem || !item->Deleted();
  pluginMenu_->setEnabled(!running_);
  previewAction_->setEnabled(!running_ && anyItem);
  undoAction_->setEnabled(!running_);
}

void THostGuiWindow::RunItem(THostMenuItem& item, THostRun::TMode mode) {
  if (running_) return;
  const bool preview = mode == THostRun::TMode::Preview;
  running_ = true;
  EnableCommands();
  TOnExit ended([this] {
    running_ = false;
    EnableCommands();
  });

  core_.Kernel.ClearValue(u"REFRESH");
  std::optional<THostRun> run;
  try {
    run.emplace(core_, mode, kChosenInDialog, kChosenInDialog);
  } catch (const Exception& e) {
    core_.Kernel.Log(u"The update run could not be opened: " + e.Message);
    ReadLog();
    QMessageBox::critical(this, QStringLiteral("zorvik-host"),
                          QStringLiteral("The update run could not be opened:\n") + qt_view::ToQString(e.Message));
    return;
  }
  const TCallError click = item.Click();
  const bool succeeded = Succeeded(click.Code) && core_.Kernel.Value(u"REFRESH") == u"YES";
  core_.Kernel.ClearValue(u"REFRESH");
  // The dialog keeps the person's choices in the settings file once a run succeeded.
  const auto choices = succeeded ? DialogChoices(core_.Kernel.IniPath()) : std::nullopt;
  std::optional<UString> finishError;
  try {
    if (choices) run->SetChoices(choices->first, choices->second);
    run->Finish(succeeded);
  } catch (const Exception& e) {
    finishError = e.Message;
  }

  // One line in the host's log: which run, what it did, and per column what it changed.
  UString line;
  if (preview)
    line = u"Update preview (rolled back, the callbook is unchanged): ";
  else if (!core_.Server.Db().KeepsJournal())
    line = u"Update run (not journaled): ";
  else
    line = u"Update run " + U(std::to_string(run->Number())) + u" (journal): ";
  line += Count(run->Statements(), u"statement", u"statements") + u", " +
          Count(run->RowsChanged(), u"row", u"rows") + (preview ? u" would change" : u" changed");
  if (!finishError) line += u"; " + Joined(ColumnCountLines(run->Counts(), run->Otherwise()));
  line += succeeded ? u"; succeeded" : u"; failed";
  if (choices) line += u"; source " + choices->first + u", fields " + choices->second;
  core_.Kernel.Log(line);
  if (finishError)
    core_.Kernel.Log(UString(preview ? u"The preview could not be rolled back: " : u"The run could not be recorded: ") +
                     *finishError);

  running_ = false;
  Poll(true);
  RebuildMenu();
  if (Failed(click.Code)) {
    QString text = QStringLiteral("The plug-in reported HRESULT %1").arg(Hex(click.Code));
    if (!click.Description.empty()) text += QStringLiteral(":\n") + qt_view::ToQString(click.Description);
    QMessageBox::critical(this, QStringLiteral("zorvik-host"), text);
  }
  if (finishError)
    QMessageBox::critical(this, QStringLiteral("zorvik-host"), qt_view::ToQString(*finishError));
  // A preview that changed nothing and did not finish was given up in the dialog: there
  // is nothing to show.
  if (preview && !finishError && (succeeded || !run->Changes().empty())) {
    if (preview_) preview_->close();
    QString heading = QStringLiteral("The plug-in's run %1: %2 statements would change %3 rows. They were rolled "
                                     "back; the callbook is unchanged.")
                          .arg(succeeded ? QStringLiteral("succeeded") : QStringLiteral("failed"),
                               QString::fromStdString(GroupDigits(run->Statements())),
                               QString::fromStdString(GroupDigits(run->RowsChanged())));
    preview_ = new THostGuiPreview(run->Changes(), run->Counts(), heading, this, run->Otherwise());
    preview_->show();
  }
}

void THostGuiWindow::PreviewUpdate() {
  for (const auto& item : core_.Menus.Items()) {
    if (item->Deleted()) continue;
    ComPtr<THostMenuItem> held = item;
    RunItem(*held.Get(), THostRun::TMode::Preview);
    return;
  }
}

void THostGuiWindow::UndoLastUpdate() {
  if (running_) return;
  running_ = true;
  EnableCommands();
  TOnExit ended([this] {
    running_ = false;
    EnableCommands();
  });
  std::optional<UString> error;
  try {
    const TUndoOutcome o = core_.Server.Db().Undo();
    core_.Kernel.Log(u"Undo run " + U(std::to_string(o.Run)) + u" took back run " + U(std::to_string(o.Undone)) +
                     u": " + Count(o.RowsRestored, u"row", u"rows") + u" restored, " +
                     Count(std::int64_t(o.Conflicts.size()), u"conflict", u"conflicts"));
    for (const TUndoConflict& c : o.Conflicts) {
      UString text = u"  Left alone: " + c.Call.value_or(u"(no callsign)");
      if (c.Missing)
        text += u": row no longer in the callbook";
      else
        text += u", " + UString(CallbookColumnName(c.Column)) + u": expected " + Quoted(c.Expected) + u", found " +
                Quoted(c.Found);
      core_.Kernel.Log(text);
    }
  } catch (const Exception& e) {
    error = e.Message;
    core_.Kernel.Log(u"Undo failed: " + e.Message);
  }
  running_ = false;
  Poll(true);
  if (error) QMessageBox::warning(this, QStringLiteral("Undo last update"), qt_view::ToQString(*error));
}

void THostGuiWindow::Poll(bool forceRefresh) {
  if (running_) return ReadLog();
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
