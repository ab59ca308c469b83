#include "host/HostMainWindow.h"

#include "platform/SysUtils.h"
#include "ui/win32/Win32Toolkit.h"

namespace {
constexpr wchar_t kHostClass[] = L"ZorvikHostWindow";
}  // namespace

struct THostMainWindow::TImpl {
  THostWindows& windows;
  HWND window = nullptr;
  THandler handler;

  static LRESULT CALLBACK Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TImpl*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (self && self->handler) {
      try {
        std::intptr_t result = 0;
        if (self->handler(message, wParam, lParam, result)) return result;
      } catch (...) {
        return 0;
      }
    }
    return DefWindowProcW(w, message, wParam, lParam);
  }
};

THostMainWindow::THostMainWindow(THostWindows& windows) : impl_(std::make_unique<TImpl>(TImpl{windows})) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TImpl::Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kHostClass;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw EOSError(u"The host's window class cannot be registered", GetLastError());
  impl_->window = CreateWindowExW(0, kHostClass, L"zorvik-host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600,
                                  nullptr, nullptr, instance, nullptr);
  if (!impl_->window) throw EOSError(u"The host's window cannot be made", GetLastError());
  SetWindowLongPtrW(impl_->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_.get()));
  windows.MainWindow = win32_view::HandleFromWindow(impl_->window);
}

THostMainWindow::~THostMainWindow() {
  impl_->windows.MainWindow = 0;
  SetWindowLongPtrW(impl_->window, GWLP_USERDATA, 0);
  DestroyWindow(impl_->window);
}

void THostMainWindow::SetHandler(THandler handler) { impl_->handler = std::move(handler); }
