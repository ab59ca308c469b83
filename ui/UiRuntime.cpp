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
void ClearPending() { g_queue.clear(); }

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

#include <map>

namespace ui_runtime {
namespace {
std::map<std::uint32_t, UString> g_icons;
std::uint32_t g_nextIcon = 0x10000;
}  // namespace

std::uint32_t CreateIconHandle(UStringView description) {
  std::uint32_t h = g_nextIcon++;
  g_icons.emplace(h, UString(description));
  return h;
}
bool DestroyIcon(std::uint32_t icon) { return g_icons.erase(icon) > 0; }
bool IconExists(std::uint32_t icon) { return g_icons.count(icon) > 0; }
UString IconDescription(std::uint32_t icon) {
  auto it = g_icons.find(icon);
  return it == g_icons.end() ? UString() : it->second;
}
}  // namespace ui_runtime
