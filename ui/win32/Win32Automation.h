// A person's actions handed to a form's window by another module of the process: the
// host's automation queue and the module's are separate on Windows, each module having
// its own copy of the toolkit, so actions travel as WM_COPYDATA to the form's window,
// which queues them for its own modal loop. The loop then plays them exactly as it plays
// actions queued in the module itself.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ui/UiRuntime.h"
#include "ui/win32/Win32Toolkit.h"

namespace win32_view {

// The WM_COPYDATA tag of an action.
constexpr ULONG_PTR kActionCopyData = 0x5A564131;  // "ZVA1"

struct TSentAction {
  ui_runtime::Action action;
  bool idleOnly = true;
};

// The bytes of an action: kind, index, checked and idle-only as 32-bit numbers, then the
// control's name and the text, each as a 32-bit count of UTF-16 units and the units.
// Watching cannot travel (its report is a callback) and is refused.
std::vector<std::uint8_t> EncodeAction(const ui_runtime::Action& action, bool idleOnly);
// The action in bytes; nothing when they are malformed or name an unknown kind.
std::optional<TSentAction> DecodeAction(const void* data, std::size_t size);

// Sends action to the window of a toolkit form (of any module); true when the form
// queued it.
bool SendAction(HWND form, const ui_runtime::Action& action, bool idleOnly = true);

}  // namespace win32_view
