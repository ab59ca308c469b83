// The host and its modules share one toolkit here: actions, chooser answers and message
// boxes go through its process-wide queue and sinks.
#include "host/HostAutomation.h"

struct THostAutomation::TImpl {
  Refused refused;
};

THostAutomation::THostAutomation(THostCore&, Refused refused, ui_runtime::MessageBoxSink messages)
    : impl_(std::make_unique<TImpl>(TImpl{std::move(refused)})) {
  ui_runtime::SetMessageBoxSink(std::move(messages));
}

THostAutomation::~THostAutomation() {
  ui_runtime::SetMessageBoxSink(nullptr);
  ui_runtime::ClearPending();
}

void THostAutomation::Act(ui_runtime::Action action) { ui_runtime::PostAction(std::move(action), true, impl_->refused); }

void THostAutomation::AnswerChooser(UString path) { ui_runtime::QueueChooserAnswer(std::move(path)); }
