#include "ui/qt/QtToolkit.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QVariant>
#include <QWidget>

#include "ui/Control.h"
#include "ui/UiRuntime.h"

namespace qt_view {

namespace {
constexpr char kHandleProperty[] = "zorvikWindowHandle";
}

void TControlLink::Connect(TControl& control, std::function<void()> onChange) {
  callback_ = std::make_shared<std::function<void()>>(std::move(onChange));
  control.SetChangeListener([weak = std::weak_ptr<std::function<void()>>(callback_)] {
    if (auto callback = weak.lock()) (*callback)();
  });
}

QString ToQString(UStringView text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

UString FromQString(const QString& text) {
  return UString(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

bool Available() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

QFont DialogFont(bool bold) {
  static const bool substituted = [] {
    // Tahoma is rarely installed outside Windows; the condensed DejaVu face comes closest
    // in width, so the captions fit the dialog's fixed layout.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans Condensed"),
                                                          QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  font.setBold(bold);
  return font;
}

QImage IconPicture(std::uint32_t icon) {
  ui_runtime::IconImage image = ui_runtime::GetIconImage(icon);
  if (image.Pixels.empty()) return {};
  QImage picture(image.Width, image.Height, QImage::Format_ARGB32);
  for (int y = 0; y < image.Height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < image.Width; ++x) line[x] = image.Pixels[std::size_t(y) * std::size_t(image.Width) + std::size_t(x)];
  }
  return picture;
}

QIcon WindowIcon(std::uint32_t smallIcon, std::uint32_t largeIcon) {
  QIcon result;
  for (std::uint32_t icon : {smallIcon, largeIcon}) {
    QImage picture = IconPicture(icon);
    if (!picture.isNull()) result.addPixmap(QPixmap::fromImage(picture));
  }
  return result;
}

void SetWindowHandle(QWidget* window, THandle handle) { window->setProperty(kHandleProperty, QVariant::fromValue(handle)); }

QWidget* WindowForHandle(THandle handle) {
  if (handle == 0 || !Available()) return nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    QVariant v = w->property(kHandleProperty);
    if (v.isValid() && v.value<THandle>() == handle) return w;
  }
  return nullptr;
}

void SyncBusyCursor() {
  if (!Available()) return;
  bool busy = ui_runtime::BusyCursor();
  bool shown = QApplication::overrideCursor() != nullptr;
  if (busy && !shown) QApplication::setOverrideCursor(Qt::WaitCursor);
  if (!busy && shown) QApplication::restoreOverrideCursor();
}

void InstallEventPump() {
  ui_runtime::SetEventPump([] {
    SyncBusyCursor();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  });
}

}  // namespace qt_view
