// On Windows the module has its own toolkit and real windows: the host's main window owns
// the module's dialog, and plays the person. When the dialog shows
// (its owner is disabled), the queued actions go to the dialog's window; what they report
// comes back to the host's window. A timer answers the system's message boxes (their text
// goes to the sink, then OK) and file dialogs (the queued path, then Open) that the
// dialog opens, and retries actions a dialog was not yet ready for.
#include <deque>
#include <vector>

#include "host/HostAutomation.h"
#include "platform/Finally.h"
#include "platform/SysUtils.h"
#include "platform/WinText.h"
#include "ui/win32/Win32Automation.h"

namespace {

constexpr UINT kDeliver = WM_APP + 1;
constexpr UINT_PTR kTimer = 1;
constexpr UINT kTimerMs = 20;
// The identifiers a message box gives its text, and a file dialog its name box.
constexpr int kMessageText = 0xFFFF;
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

struct TThreadWindows {
  std::vector<HWND> list;
};
BOOL CALLBACK CollectWindow(HWND w, LPARAM p) {
  reinterpret_cast<TThreadWindows*>(p)->list.push_back(w);
  return TRUE;
}
std::vector<HWND> ThreadWindows() {
  TThreadWindows windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows.list;
}

bool IsSystemDialog(HWND w) {
  wchar_t name[16] = {};
  return GetClassNameW(w, name, 16) > 0 && std::wstring_view(name) == L"#32770";
}

// The name box of a file dialog: the combo box of the Explorer style, else the edit.
HWND FileNameBox(HWND dialog) {
  HWND combo = GetDlgItem(dialog, kFileNameCombo);
  return combo ? combo : GetDlgItem(dialog, kFileNameEdit);
}

void PressButton(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

struct THostAutomation::TImpl {
  THostCore& core;
  Refused refused;
  ui_runtime::MessageBoxSink messages;
  HWND window = nullptr;
  std::deque<ui_runtime::Action> pending;
  struct TWatch {
    UString control;
    std::function<void(UStringView)> onText;
  };
  std::vector<TWatch> watches;
  std::deque<UString> chooserAnswers;
  bool answering = false;

  // The enabled, visible toolkit form this window owns: the innermost modal dialog.
  HWND ActiveForm() const {
    for (HWND w : ThreadWindows())
      if (GetWindow(w, GW_OWNER) == window && win32_view::IsFormWindow(w) && IsWindowVisible(w) && IsWindowEnabled(w))
        return w;
    return nullptr;
  }

  void Deliver() {
    if (pending.empty()) return;
    HWND form = ActiveForm();
    if (!form) return;
    while (!pending.empty() && win32_view::SendAction(form, pending.front(), true, window)) pending.pop_front();
  }

  // Message boxes and file dialogs of this thread, answered as the person would.
  void AnswerDialogs() {
    // Pressing a dialog's button may pump messages, and so come back here.
    if (answering) return;
    answering = true;
    TryFinally([&] { AnswerEachDialog(); }, [&] { answering = false; });
  }
  void AnswerEachDialog() {
    for (HWND w : ThreadWindows()) {
      if (!IsSystemDialog(w) || !IsWindowVisible(w)) continue;
      if (HWND text = GetDlgItem(w, kMessageText)) {
        if (messages) messages(win32_view::WindowText(text), win32_view::WindowText(w));
        PressButton(w, GetDlgItem(w, IDOK) ? IDOK : IDCANCEL);
      } else if (HWND name = FileNameBox(w)) {
        if (chooserAnswers.empty()) {
          PressButton(w, IDCANCEL);
          continue;
        }
        SetWindowTextW(name, WideText(chooserAnswers.front()));
        chooserAnswers.pop_front();
        PressButton(w, IDOK);
      }
    }
  }

  void Report(const COPYDATASTRUCT& data) {
    std::optional<win32_view::TReport> report = win32_view::DecodeReport(data.lpData, data.cbData);
    if (!report) return;
    if (data.dwData == win32_view::kWatchedCopyData) {
      for (const TWatch& w : watches)
        if (w.control == report->control && w.onText) w.onText(report->text);
    } else if (refused) {
      refused(ui_runtime::Action::Make(ui_runtime::Action::Press, report->control));
    }
  }

  bool Message(UINT message, WPARAM wParam, LPARAM lParam, std::intptr_t& result) {
    result = 0;
    try {
      switch (message) {
        case WM_ENABLE:
          // The dialog disables its owner as it shows; its loop runs once this arrives.
          if (!wParam) PostMessageW(window, kDeliver, 0, 0);
          return false;
        case kDeliver:
          Deliver();
          return true;
        case WM_TIMER:
          if (wParam != kTimer) return false;
          Deliver();
          AnswerDialogs();
          return true;
        case WM_COPYDATA: {
          const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
          if (!data || (data->dwData != win32_view::kWatchedCopyData && data->dwData != win32_view::kRefusedCopyData))
            return false;
          Report(*data);
          result = 1;
          return true;
        }
        default:
          return false;
      }
    } catch (const std::exception& e) {
      if (messages) messages(Utf8ToUString(e.what()), u"zorvik-host");
      return true;
    }
  }
};

THostAutomation::THostAutomation(THostCore& core, Refused refused, ui_runtime::MessageBoxSink messages)
    : impl_(std::make_unique<TImpl>(TImpl{core, std::move(refused), std::move(messages)})) {
  impl_->window = win32_view::WindowFromHandle(core.Windows.MainWindow);
  if (!impl_->window || !IsWindow(impl_->window)) throw EOSError(u"The host has no main window to own the dialog");
  if (!SetTimer(impl_->window, kTimer, kTimerMs, nullptr)) throw EOSError(u"The host's timer cannot be set", GetLastError());
  core.MainWindow.SetHandler([impl = impl_.get()](unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                                  std::intptr_t& result) {
    return impl->Message(message, wParam, lParam, result);
  });
}

THostAutomation::~THostAutomation() {
  KillTimer(impl_->window, kTimer);
  impl_->core.MainWindow.SetHandler(nullptr);
}

void THostAutomation::Act(ui_runtime::Action action) {
  if (action.kind == ui_runtime::Action::Watch) {
    impl_->watches.push_back({action.control, std::move(action.onText)});
    action.onText = nullptr;
  }
  impl_->pending.push_back(std::move(action));
}

void THostAutomation::AnswerChooser(UString path) { impl_->chooserAnswers.push_back(std::move(path)); }
