// The process-wide parts of the toolkit: the queue of pending user-interface messages
// and the sinks for message boxes and the busy cursor. They live in one shared library
// that the host and every module load, as the window system's queue does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/ComBase.h"
#include "platform/UStrings.h"

namespace ui_runtime {

// One pending message: something a person did, or a repaint.
struct Message {
  std::function<void()> run;
  // Idle messages reach the program only while a modal loop waits for input; others are
  // delivered by any processing of pending messages, also in the middle of long work.
  bool idleOnly = false;
};

ZORVIK_EXPORT void Post(Message message);
// Takes the oldest message that may be delivered now: any message while a modal loop
// waits for input, else the oldest that is not idle-only. Empty when there is none. The
// caller runs it, and handles what it raises.
ZORVIK_EXPORT std::optional<Message> Take(bool insideModalWait);
// Lets a view toolkit handle its pending events.
ZORVIK_EXPORT void PumpEvents();
ZORVIK_EXPORT std::size_t PendingCount();
ZORVIK_EXPORT void ClearPending();

// A message box. The default sink writes to standard error; a host with a window sets
// its own. Returns nothing; the box is modal to the caller.
using MessageBoxSink = std::function<void(UStringView text, UStringView caption)>;
ZORVIK_EXPORT void SetMessageBoxSink(MessageBoxSink sink);
ZORVIK_EXPORT void ShowMessageBox(UStringView text, UStringView caption);

// The application-wide cursor: true shows the busy cursor.
ZORVIK_EXPORT void SetBusyCursor(bool busy);
ZORVIK_EXPORT bool BusyCursor();

// A view toolkit that runs its own event loop hooks in here; PumpEvents calls it.
ZORVIK_EXPORT void SetEventPump(std::function<void()> pump);

}  // namespace ui_runtime

namespace ui_runtime {
// Icons, process-wide like the window system's: a handle names one icon until destroyed.
ZORVIK_EXPORT std::uint32_t CreateIconHandle(UStringView description);
// Destroys an icon; false when the handle names none.
ZORVIK_EXPORT bool DestroyIcon(std::uint32_t icon);
ZORVIK_EXPORT bool IconExists(std::uint32_t icon);
// The description given at creation; empty for an unknown handle.
ZORVIK_EXPORT UString IconDescription(std::uint32_t icon);
}  // namespace ui_runtime
