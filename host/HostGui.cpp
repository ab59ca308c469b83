#include "host/HostGui.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <initializer_list>
#include <memory>
#include <optional>

#include "host/HostGuiWindow.h"
#include "host/ModuleLoader.h"
#include "platform/Kernel.h"
#include "ui/UiRuntime.h"
#include "ui/qt/QtFileChooser.h"
#include "ui/qt/QtToolkit.h"

namespace {

struct TGuiOptions {
  UString DataDir;
  UString Module;
  std::optional<QString> Screenshot;
};

// Parses the words after "gui"; returns an error text for a wrong command line.
std::optional<std::string> Parse(const std::vector<std::string>& args, TGuiOptions& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "gui") continue;
    if (a != "--data" && a != "--module" && a != "--screenshot") return "gui does not take " + a;
    if (i + 1 >= args.size()) return "option " + a + " needs a value";
    const std::string& v = args[++i];
    if (a == "--data") o.DataDir = Utf8ToUString(v);
    if (a == "--module") o.Module = Utf8ToUString(v);
    if (a == "--screenshot") o.Screenshot = QString::fromStdString(v);
  }
  return std::nullopt;
}

// FILE with "-" and a word before its extension.
QString PicturePath(const QString& file, const char* word) {
  QFileInfo info(file);
  return info.path() + QStringLiteral("/") + info.completeBaseName() + QLatin1Char('-') + QLatin1String(word) +
         QLatin1Char('.') + (info.suffix().isEmpty() ? QStringLiteral("png") : info.suffix());
}

ui_runtime::Action Act(ui_runtime::Action::Kind kind, UString control, int index = 0) {
  ui_runtime::Action a;
  a.kind = kind;
  a.control = std::move(control);
  a.index = index;
  return a;
}

// Plays a run of package through the dialog as a person would (Local data file, browse to
// the package, tick the field boxes, Update), then calls done.
void PlayRun(const UString& package, std::initializer_list<int> boxes, std::function<void()> done) {
  using A = ui_runtime::Action;
  ui_runtime::SetChooserHook([package](const ui_runtime::ChooserRequest&) { return std::optional<UString>(package); });
  ui_runtime::PostAction(Act(A::Select, u"rgLocation", 1));
  ui_runtime::PostAction(Act(A::Press, u"edSource"));
  for (int box : boxes) ui_runtime::PostAction(Act(A::Check, u"cgUseFields", box));
  ui_runtime::PostAction(Act(A::Press, u"dbtUpdateOk"));
  ui_runtime::Post({[done = std::move(done)] {
                      qt_view::InstallFileChooser();
                      done();
                    },
                    true});
}

// The plug-in's dialog that is showing modally, if any.
QDialog* ShowingDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

}  // namespace

bool IsHostGuiCommand(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "gui") return true;
    if (a == "--data" || a == "--module" || a == "--screenshot") {
      ++i;  // its value
      continue;
    }
    if (a.rfind("--", 0) != 0) return false;  // another command comes first
  }
  return false;
}

int RunHostGui(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TGuiOptions o;
  if (auto wrong = Parse(args, o)) {
    err << "zorvik-host: " << *wrong << "\nUsage: zorvik-host gui [--data DIR] [--module PATH] [--screenshot FILE]\n";
    return 2;
  }
  static int argc = 1;
  static char name[] = "zorvik-host";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  std::unique_ptr<THostCore> core;
  try {
    core = std::make_unique<THostCore>(o.DataDir.empty() ? DefaultDataDir() : o.DataDir);
  } catch (const Exception& e) {
    err << "zorvik-host: " << e.what() << "\n";
    return 1;
  }
  core->Kernel.EchoLog = false;  // the window shows the log

  // The toolkit's message boxes, file chooser and pending-message processing go to Qt.
  qt_view::InstallEventPump();
  qt_view::InstallFileChooser();
  ui_runtime::SetMessageBoxSink([](UStringView text, UStringView caption) {
    QMessageBox::warning(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow(),
                         qt_view::ToQString(caption), qt_view::ToQString(text));
  });

  int rc = 0;
  {
    auto window = std::make_unique<THostGuiWindow>(*core);
    UString module = o.Module.empty() ? ExtractFilePath(zorvik::GetModuleFileName()) + u"UpdZorvik.ext" : o.Module;
    std::unique_ptr<TModuleLoader> loader;
    try {
      loader = std::make_unique<TModuleLoader>(module, &core->Menus);
      HRESULT hr = loader->Start(core.get());
      if (Failed(hr)) {
        TCallError e = TakeCallError(hr);
        core->Kernel.Log(u"The module " + module + u" refused to start: " + e.Description);
        loader.reset();
      }
    } catch (const Exception& e) {
      core->Kernel.Log(e.Message);
      loader.reset();
    }
    window->RebuildMenu();
    window->show();

    if (o.Screenshot) {
      QString file = *o.Screenshot;
      QTimer::singleShot(0, [&] {
        QList<QAction*> actions = window->PluginMenu()->actions();
        if (actions.isEmpty() || !actions.front()->isEnabled()) {
          err << "zorvik-host: no plug-in menu item to open\n";
          rc = 1;
          app.quit();
          return;
        }
        auto save = [&](QWidget* w, const QString& to) {
          if (w && w->grab().save(to)) {
            out << "Saved " << to.toStdString() << "\n";
          } else {
            err << "zorvik-host: no picture could be saved to " << to.toStdString() << "\n";
            rc = 1;
          }
        };
        // Once the dialog waits for a person: take its picture; then, with the bundled
        // sample package, run an update and take another; then close it.
        QTimer::singleShot(100, [&] {
          save(ShowingDialog(), file);
          const UString package = ExtractFilePath(zorvik::GetModuleFileName()) + u"examples/sample-package.zip";
          auto close = [] {
            if (QDialog* dialog = ShowingDialog()) dialog->close();
          };
          if (!FileExists(package)) return close();
          // Name and QTH.
          PlayRun(package, {1, 2}, [&, close] {
            save(ShowingDialog(), PicturePath(file, "run"));
            close();
          });
        });
        actions.front()->trigger();
        save(window.get(), PicturePath(file, "main"));
        // Then a preview of the same package with every field: what the run left to do.
        const UString package = ExtractFilePath(zorvik::GetModuleFileName()) + u"examples/sample-package.zip";
        if (FileExists(package)) {
          QTimer::singleShot(100, [&] {
            PlayRun(package, {1, 2, 3, 4, 5}, [] {
              if (QDialog* dialog = ShowingDialog()) dialog->close();
            });
          });
          window->PreviewUpdate();
          QApplication::processEvents();
          save(window->Preview(), PicturePath(file, "preview"));
        }
        app.quit();
      });
    }
    app.exec();
    window.reset();
    if (loader) {
      HRESULT hr = loader->Unload(true);
      if (Failed(hr)) err << "zorvik-host: unloading failed: " << UStringToUtf8(TakeCallError(hr).Description) << "\n";
    }
  }
  ui_runtime::SetMessageBoxSink(nullptr);
  ui_runtime::SetChooserHook(nullptr);
  ui_runtime::SetEventPump(nullptr);
  return rc;
}
