#include "ui/UiRuntime.h"

#include <cstdio>
#include <deque>

namespace ui_runtime {
namespace {
std::deque<Message> g_queue;
MessageBoxSink g_messageBox;
std::function<void()> g_pump;
bool g_busy = false;
}  // namespace

void Post(Message message) { g_queue.push_back(std::move(message)); }

std::optional<Message> Take(bool insideModalWait) {
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (it->idleOnly && !insideModalWait) continue;
    Message m = std::move(*it);
    g_queue.erase(it);
    return m;
  }
  return std::nullopt;
}

void PumpEvents() {
  if (g_pump) g_pump();
}

std::size_t PendingCount() { return g_queue.size(); }

void SetMessageBoxSink(MessageBoxSink sink) { g_messageBox = std::move(sink); }

void ShowMessageBox(UStringView text, UStringView caption) {
  if (g_messageBox) {
    g_messageBox(text, caption);
    return;
  }
  std::fprintf(stderr, "[%s] %s\n", UStringToUtf8(caption).c_str(), UStringToUtf8(text).c_str());
}

void SetBusyCursor(bool busy) { g_busy = busy; }
bool BusyCursor() { return g_busy; }

void SetEventPump(std::function<void()> pump) { g_pump = std::move(pump); }

}  // namespace ui_runtime

#include <algorithm>
#include <vector>

namespace ui_runtime {
namespace {
std::vector<AutomationTarget*> g_modal;
ChooserHook g_chooser;
std::deque<std::optional<UString>> g_chooserAnswers;
}  // namespace

void PushModalTarget(AutomationTarget* target) { g_modal.push_back(target); }
void PopModalTarget(AutomationTarget* target) {
  auto it = std::find(g_modal.rbegin(), g_modal.rend(), target);
  if (it != g_modal.rend()) g_modal.erase(std::next(it).base());
}
AutomationTarget* ActiveModalTarget() { return g_modal.empty() ? nullptr : g_modal.back(); }

void PostAction(Action action, bool idleOnly, std::function<void(const Action&)> refused) {
  Post({[action = std::move(action), refused = std::move(refused)] {
          AutomationTarget* target = ActiveModalTarget();
          if (!target || !target->Perform(action)) {
            if (refused) refused(action);
          }
        },
        idleOnly});
}

void SetChooserHook(ChooserHook hook) { g_chooser = std::move(hook); }
void QueueChooserAnswer(std::optional<UString> path) { g_chooserAnswers.push_back(std::move(path)); }

void ClearPending() {
  g_queue.clear();
  g_chooserAnswers.clear();
}
std::optional<UString> RunFileChooser(const ChooserRequest& request) {
  if (g_chooser) return g_chooser(request);
  if (g_chooserAnswers.empty()) return std::nullopt;
  auto answer = std::move(g_chooserAnswers.front());
  g_chooserAnswers.pop_front();
  return answer;
}
}  // namespace ui_runtime
