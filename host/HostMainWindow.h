// The host application's main window, which owns the plug-ins' dialogs. On Windows it is a
// real top-level window, hidden while the host runs from the command line, made before
// any module starts (a module reads the application handle when it starts) and handed out
// as the application handle. Elsewhere the host runs headless: the handle stays 0 unless
// the host's GUI sets its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "host/HostWindows.h"

class THostMainWindow {
 public:
  // Sets windows' application handle to the window. Raises EOSError when the window
  // cannot be made.
  explicit THostMainWindow(THostWindows& windows);
  // Gives the handle back to 0 and destroys the window.
  ~THostMainWindow();
  THostMainWindow(const THostMainWindow&) = delete;
  THostMainWindow& operator=(const THostMainWindow&) = delete;

  // The window's messages reach handler first while it is set; it returns true for the
  // messages it handled, with their result. What it raises is dropped, as nothing may
  // unwind through the system's frames.
  using THandler = std::function<bool(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result)>;
  void SetHandler(THandler handler);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};
