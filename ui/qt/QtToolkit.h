// What every Qt view shares: text conversion, the dialog font, icons from the toolkit's
// runtime, the owner window of a handle, and the hooks that let Qt run inside the
// toolkit's loops.
#pragma once

#include <functional>
#include <memory>

#include <QFont>
#include <QIcon>
#include <QString>

#include "PluginAPI/PluginAPI.h"
#include "platform/UStrings.h"

class QWidget;
class TControl;

namespace qt_view {

// Ties a view to its control: the control's changes reach onChange while the link lives.
// A control keeps its listeners for its whole life and outlives its views, so a view that
// is gone must not be called: the link's end silences its listener.
class TControlLink {
 public:
  TControlLink() = default;
  TControlLink(const TControlLink&) = delete;
  // Listens to control from now on; a link connects once.
  void Connect(TControl& control, std::function<void()> onChange);
  TControlLink& operator=(const TControlLink&) = delete;

 private:
  std::shared_ptr<std::function<void()>> callback_;
};

QString ToQString(UStringView text);
UString FromQString(const QString& text);

// Whether a QApplication exists, so that real windows can be made.
bool Available();

// The dialogs' font: Tahoma 8 point at 96 dpi (11 pixels), or the closest font there is.
QFont DialogFont(bool bold = false);

// The picture of an icon of the toolkit's runtime; null when the handle has none.
QImage IconPicture(std::uint32_t icon);
// A window icon holding the pictures of the given icons (0 or pictureless ones skipped).
QIcon WindowIcon(std::uint32_t smallIcon, std::uint32_t largeIcon);

// Top-level windows stand for a handle number, as the window system's handles do: the
// host's main window says which number it is, and a plug-in's form finds its owner by it.
void SetWindowHandle(QWidget* window, THandle handle);
// The top-level window that stands for handle; null for 0 or an unknown number.
QWidget* WindowForHandle(THandle handle);

// Shows the busy cursor over the whole application while the toolkit asks for it.
void SyncBusyCursor();
// Lets Qt handle its pending events whenever the toolkit processes pending messages, and
// keeps the cursor in step.
void InstallEventPump();

}  // namespace qt_view
