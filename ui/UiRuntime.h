// The process-wide parts of the toolkit: the queue of pending user-interface messages
// and the sinks for message boxes and the busy cursor. They live in one shared library
// that the host and every module load, as the window system's queue does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
// Drops the queued messages and the file chooser answers no chooser took, so that what
// one job left cannot reach the next one's dialog.
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
// An icon's picture: Width x Height pixels, row by row from the top, each 0xAARRGGBB
// (not premultiplied). Empty for an icon made without one.
struct IconImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
};

// Icons, process-wide like the window system's: a handle names one icon until destroyed.
ZORVIK_EXPORT std::uint32_t CreateIconHandle(UStringView description);
// An icon with a picture a view can show. Raises when the pixel count does not match the
// size or the size is outside 1..256.
ZORVIK_EXPORT std::uint32_t CreateIconHandle(UStringView description, IconImage image);
// The picture of an icon; empty for an unknown handle or an icon without one.
ZORVIK_EXPORT IconImage GetIconImage(std::uint32_t icon);
// Destroys an icon; false when the handle names none.
ZORVIK_EXPORT bool DestroyIcon(std::uint32_t icon);
ZORVIK_EXPORT bool IconExists(std::uint32_t icon);
// The description given at creation; empty for an unknown handle.
ZORVIK_EXPORT UString IconDescription(std::uint32_t icon);
}  // namespace ui_runtime

namespace ui_runtime {

// A person's action on a control of the active modal form, addressed by the control's
// name, as automation queues it.
struct Action {
  enum Kind {
    Select,     // pick radio item Index
    Type,       // type Text at the end of an edit
    SetText,    // select all of an edit and type Text
    Backspace,  // press Backspace in an edit
    Paste,      // paste Text into an edit
    Cut,        // cut all of an edit's text
    Check,      // set box Index of a check group to Checked, by clicking it if it differs
    Toggle,     // click box Index of a check group
    Press,      // click a button; for an edit, its browse button
    Close,      // close the form (title-bar close)
    Watch,      // report the control's text to OnText now and after every change
  };
  Kind kind = Press;
  UString control;
  UString text;
  int index = 0;
  bool checked = true;
  std::function<void(UStringView text)> onText;

  static Action Make(Kind kind, UString control, UString text = {}, int index = 0, bool checked = true) {
    Action a;
    a.kind = kind;
    a.control = std::move(control);
    a.text = std::move(text);
    a.index = index;
    a.checked = checked;
    return a;
  }
};

// A form that takes actions: the toolkit registers every modal form while it runs.
class AutomationTarget {
 public:
  // Carries out the action; false when the control refused it. Raises when the form
  // has no such control or the control cannot take that kind of action.
  virtual bool Perform(const Action& action) = 0;

 protected:
  ~AutomationTarget() = default;
};

ZORVIK_EXPORT void PushModalTarget(AutomationTarget* target);
ZORVIK_EXPORT void PopModalTarget(AutomationTarget* target);
// The innermost running modal form; null when none runs.
ZORVIK_EXPORT AutomationTarget* ActiveModalTarget();

// Queues an action for the active modal form. An idle action waits until the modal loop
// waits for input; otherwise it also arrives during long work, when pending messages are
// processed. refused, when given, is called for an action the control refused.
ZORVIK_EXPORT void PostAction(Action action, bool idleOnly = true,
                              std::function<void(const Action&)> refused = nullptr);

// The file chooser. A view toolkit installs a real one; without one, the answers queued
// with QueueChooserAnswer are given in order, and an empty queue answers "cancelled".
struct ChooserRequest {
  UString title, filter, initialDir, fileName, defaultExt;
  int filterIndex = 1;
};
using ChooserHook = std::function<std::optional<UString>(const ChooserRequest&)>;
ZORVIK_EXPORT void SetChooserHook(ChooserHook hook);
ZORVIK_EXPORT void QueueChooserAnswer(std::optional<UString> path);
ZORVIK_EXPORT std::optional<UString> RunFileChooser(const ChooserRequest& request);

}  // namespace ui_runtime
