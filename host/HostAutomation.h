// How the host's jobs reach a module's modal dialog as a person would: the actions on its
// controls, the answer to its file chooser, and the message boxes it shows. Where the host
// and the module share one toolkit (POSIX) the actions go into the shared queue; on
// Windows each module has its own toolkit and real windows, so the host gives the module a
// real main window, hands the actions to the module's form through it, and answers the
// system's message boxes and file dialogs that open on the way.
#pragma once

#include <functional>
#include <memory>

#include "host/HostCore.h"
#include "ui/UiRuntime.h"

class THostAutomation {
 public:
  using Refused = std::function<void(const ui_runtime::Action&)>;

  // While this object lives the host's message boxes go to messages, and actions the
  // dialog refuses to refused. On Windows the core's application handle is the host's
  // window for that time. Raises EOSError when that window cannot be made.
  THostAutomation(THostCore& core, Refused refused, ui_runtime::MessageBoxSink messages);
  // Drops the actions no dialog took.
  ~THostAutomation();
  THostAutomation(const THostAutomation&) = delete;
  THostAutomation& operator=(const THostAutomation&) = delete;

  // Queues an action for the next modal dialog, after those queued before; a watch
  // reports the control's text to its onText for as long as the dialog shows.
  void Act(ui_runtime::Action action);
  // The path the next file chooser is answered with.
  void AnswerChooser(UString path);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};
