// The module's own application object. Its handle is the window that owns every window
// of the module: the host's application window once the plug-in has set it.
#pragma once

#include "PluginAPI/PluginAPI.h"
#include "platform/SysUtils.h"

class TApplication {
 public:
  THandle Handle() const { return handle_; }
  void SetHandle(THandle handle) { handle_ = handle; }

  // Lets the user interface handle the messages that are waiting, then returns. An error
  // that escapes one is shown in the error box.
  void ProcessMessages();
  // Delivers one waiting message; false when none may be delivered now.
  bool HandleMessage(bool insideModalWait);
  // Shows an error that escaped an event handler in the toolkit's error box.
  void ShowException(const Exception& e);

 private:
  THandle handle_ = 0;
};

// This module's application object.
TApplication& Application();
