// What every Win32 view shares: handle and text conversion, the dialog font, the window
// classes of the views, the tie between a window and its view, the guard around every
// window procedure, and the hooks that let Windows run inside the toolkit's loops.
#pragma once

#include <functional>
#include <memory>

#include "PluginAPI/PluginAPI.h"
#include "platform/ComBase.h"
#include "platform/UStrings.h"

class TControl;

namespace win32_view {

// Ties a view to its control: the control's changes reach onChange while the link lives.
// A control keeps its listeners for its whole life and outlives its views, so a view that
// is gone must not be called: the link's end silences its listener.
class TControlLink {
 public:
  TControlLink() = default;
  TControlLink(const TControlLink&) = delete;
  TControlLink& operator=(const TControlLink&) = delete;
  // Listens to control from now on; a link connects once.
  void Connect(TControl& control, std::function<void()> onChange);

 private:
  std::shared_ptr<std::function<void()>> callback_;
};

// Window and icon handles travel as 32-bit numbers, as the host interfaces carry them;
// the system keeps its user handles within 32 bits.
HWND WindowFromHandle(THandle handle);
THandle HandleFromWindow(HWND window);
HICON IconFromHandle(std::uint32_t icon);
std::uint32_t HandleFromIcon(HICON icon);

// The text of a window, and a text with every line break as CR LF, as edit controls
// want it.
UString WindowText(HWND window);
UString CrLfLines(UStringView text);

// The dialogs' font: Tahoma 8 point at 96 dpi (11 pixels high), made once per process.
HFONT DialogFont(bool bold = false);

// The module's instance, which owns the window classes of the views.
HINSTANCE ModuleInstance();

// A window of one of the views' own classes. The class is registered while any such
// window exists and unregistered with the last, so that the module can be unloaded.
enum class TViewClass { Form, Canvas };
HWND CreateViewWindow(TViewClass kind, DWORD exStyle, DWORD style, const RECT& bounds, HWND parent);
// True for the window of a toolkit form, made by this module or any other.
bool IsFormWindow(HWND window);
// Unregisters the classes that have no window left.
void ReleaseUnusedClasses();
// A child control of a system class (BUTTON, EDIT, STATIC) in the dialog font, with a
// control identifier of its own.
HWND CreateControl(const wchar_t* className, const UString& text, DWORD style, const RECT& bounds, HWND parent,
                   DWORD exStyle = 0, bool bold = false);

// What the views' windows ask of the view that made them.
class TWindowHandler {
 public:
  virtual ~TWindowHandler() = default;
  // A notification (WM_COMMAND) from the control window child of this view.
  virtual void Command(HWND child, int code) {}
  // The background for a static-looking child (read-only edits, labels); null for the
  // system's default.
  virtual HBRUSH ControlColor(HWND child, HDC dc) { return nullptr; }
  // Draws the client area of a canvas window.
  virtual void Paint(HWND window, HDC dc, const RECT& client) {}
  // A message of a window of the form class; returns true when handled.
  virtual bool FormMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }
};
// Ties window to handler until RemoveHandler; the handler must outlive the tie.
void SetHandler(HWND window, TWindowHandler* handler);
void RemoveHandler(HWND window);
TWindowHandler* HandlerOf(HWND window);

// Runs the body of a window procedure: every error that escapes it is shown in the
// application's error box and goes no further, as Windows' own frames must not unwind.
LRESULT Guarded(const std::function<LRESULT()>& body, LRESULT onError = 0);

// Replaces a control's window procedure with proc; the original is called through
// CallOriginal. The original comes back when the window is destroyed.
void Subclass(HWND window, WNDPROC proc);
LRESULT CallOriginal(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Handles every pending message of this thread, with the dialog keys of the views' forms;
// returns false when WM_QUIT arrived, which is posted again for the outer loop.
bool PumpMessages();
// Shows the system's wait cursor while the toolkit asks for the busy cursor.
void SyncBusyCursor();

// An error box: MessageBoxW over the thread's active window.
void ShowMessageBox(UStringView text, UStringView caption);

// Hooks the toolkit's pending-message processing, message boxes and file chooser to
// Windows.
void Install();

}  // namespace win32_view
