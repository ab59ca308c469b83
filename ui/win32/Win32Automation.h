// A person's actions handed to a form's window by another module of the process: the
// host's automation queue and the module's are separate on Windows, each module having
// its own copy of the toolkit, so actions travel as WM_COPYDATA to the form's window,
// which queues them for its own modal loop. The loop then plays them exactly as it plays
// actions queued in the module itself. What an action reports back (a watched control's
// text, a refusal) travels the same way to the window the sender names.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/UiRuntime.h"
#include "ui/win32/Win32Toolkit.h"

namespace win32_view {

// The WM_COPYDATA tags: an action, a watched control's text, a refused action.
constexpr ULONG_PTR kActionCopyData = 0x5A564131;   // "ZVA1"
constexpr ULONG_PTR kWatchedCopyData = 0x5A565731;  // "ZVW1"
constexpr ULONG_PTR kRefusedCopyData = 0x5A565231;  // "ZVR1"

struct TSentAction {
  ui_runtime::Action action;
  bool idleOnly = true;
  // The window that hears what the action reports; 0 for none.
  THandle reply = 0;
};

// The bytes of an action: kind, index, checked, idle-only and the reply window as 32-bit
// numbers, then the control's name and the text, each as a 32-bit count of UTF-16 units
// and the units. A watch needs a reply window, its report being a callback.
std::vector<std::uint8_t> EncodeAction(const ui_runtime::Action& action, bool idleOnly, THandle reply = 0);
// The action in bytes; nothing when they are malformed, name an unknown kind, or are a
// watch with no reply window.
std::optional<TSentAction> DecodeAction(const void* data, std::size_t size);

// Sends action to the window of a toolkit form (of any module); true when the form
// queued it. Reports go to reply as WM_COPYDATA with the tags above.
bool SendAction(HWND form, const ui_runtime::Action& action, bool idleOnly = true, HWND reply = nullptr);

// A report: the control's name and a text (the watched text; empty for a refusal).
struct TReport {
  UString control;
  UString text;
};
std::vector<std::uint8_t> EncodeReport(const TReport& report);
std::optional<TReport> DecodeReport(const void* data, std::size_t size);

// The action as the form's loop queues it: a watch or refusal of an action with a reply
// window is reported there.
void QueueSentAction(TSentAction sent);

}  // namespace win32_view
