// The host's main window: the plug-ins' menu items, the callbook and the log.
#pragma once

#include <QMainWindow>
#include <cstdint>

#include "host/HostCore.h"

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

  // Lists the menu items the plug-ins have added; call again when they change.
  void RebuildMenu();
  // Reads the callbook again, when the plug-in has asked for it with "REFRESH" or
  // at once when forced; then shows new log lines.
  void Poll(bool forceRefresh = false);

  QMenu* PluginMenu() const { return pluginMenu_; }
  THostGuiCallbookModel* Callbook() const { return model_; }
  QPlainTextEdit* Log() const { return log_; }

 private:
  void ReadLog();
  void Refresh();

  THostCore& core_;
  QMenu* pluginMenu_;
  THostGuiCallbookModel* model_;
  QTableView* table_;
  QPlainTextEdit* log_;
  QLabel* rows_;
  QTimer* timer_;
  std::uintmax_t logOffset_ = 0;
};
