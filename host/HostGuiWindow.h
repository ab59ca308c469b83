// The host's main window: the plug-ins' menu items, the callbook and the log.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <cstdint>

#include "host/HostCore.h"
#include "host/HostGuiPreview.h"
#include "host/HostMenuItem.h"
#include "host/HostRun.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTableView;
class QTimer;
class THostGuiCallbookModel;

class THostGuiWindow : public QMainWindow {
 public:
  // The number that stands for this window wherever the host hands out its handle.
  static constexpr THandle Handle = 0x00A10001;

  // Takes the window's place in core: its handle becomes the application handle, and
  // the plug-ins' messages show in message boxes over it.
  explicit THostGuiWindow(THostCore& core);
  ~THostGuiWindow() override;

  // Lists the menu items the plug-ins have added; call again when they change. A click
  // of one is a journaled update run (see RunItem).
  void RebuildMenu();
  // Reads the callbook again, when the plug-in has asked for it with "REFRESH" or
  // at once when forced; then shows new log lines. While a run is in progress only the
  // log is read: the run's "REFRESH" is its own, and a preview's rows are not to stay.
  void Poll(bool forceRefresh = false);

  // Clicks item as an update run of the callbook in the given mode: the click's
  // statements are journaled (Journal) or rolled back afterwards (Preview). The run
  // succeeded when the click did not fail and the plug-in set "REFRESH" to "YES". The
  // host's log gets the run's journal number and figures; a preview opens a window of
  // the values it would change. Does nothing while another run is in progress.
  void RunItem(THostMenuItem& item, THostRun::TMode mode);
  // "Preview update…": RunItem of the first plug-in item as a preview.
  void PreviewUpdate();
  // "Undo last update": takes back the newest update run still in place, logs what was
  // restored and every row left alone, and reads the callbook again. An error shows in a
  // message box and the log.
  void UndoLastUpdate();

  QMenu* PluginMenu() const { return pluginMenu_; }
  QAction* PreviewAction() const { return previewAction_; }
  QAction* UndoAction() const { return undoAction_; }
  THostGuiCallbookModel* Callbook() const { return model_; }
  QPlainTextEdit* Log() const { return log_; }
  // The window of the latest preview, while it is open.
  THostGuiPreview* Preview() const { return preview_; }
  bool Running() const { return running_; }

 private:
  void ReadLog();
  void Refresh();
  // Enables the commands that start a run unless one is in progress.
  void EnableCommands();

  THostCore& core_;
  QMenu* pluginMenu_;
  QAction* previewAction_;
  QAction* undoAction_;
  QPointer<THostGuiPreview> preview_;
  bool running_ = false;
  THostGuiCallbookModel* model_;
  QTableView* table_;
  QPlainTextEdit* log_;
  QLabel* rows_;
  QTimer* timer_;
  std::uintmax_t logOffset_ = 0;
};
