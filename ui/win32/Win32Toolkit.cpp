#include "ui/win32/Win32Toolkit.h"

#include <new>
#include <string_view>

#include "platform/SysUtils.h"
#include "platform/WinText.h"
#include "ui/Application.h"
#include "ui/Control.h"
#include "ui/UiRuntime.h"
#include "ui/win32/Win32FileChooser.h"

namespace win32_view {

namespace {

constexpr wchar_t kHandlerProperty[] = L"ZorvikViewHandler";
constexpr wchar_t kOriginalProcProperty[] = L"ZorvikOriginalProc";
constexpr wchar_t kFormClass[] = L"ZorvikForm";
constexpr wchar_t kCanvasClass[] = L"ZorvikCanvas";

struct TClassState {
  const wchar_t* name;
  WNDPROC proc;
  HBRUSH background;
  int windows = 0;
  ATOM atom = 0;
};

LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK CanvasProc(HWND, UINT, WPARAM, LPARAM);

TClassState& ClassState(TViewClass kind) {
  static TClassState form{kFormClass, FormProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)};
  static TClassState canvas{kCanvasClass, CanvasProc, nullptr};
  return kind == TViewClass::Form ? form : canvas;
}

// The window is gone: its class may go once no window of it is left.
void WindowGone(TViewClass kind) {
  // The class itself cannot go while its last window is still being destroyed; see
  // ReleaseUnusedClasses.
  TClassState& c = ClassState(kind);
  if (c.windows > 0) --c.windows;
}

}  // namespace

void ReleaseUnusedClasses() {
  for (TViewClass kind : {TViewClass::Form, TViewClass::Canvas}) {
    TClassState& c = ClassState(kind);
    if (c.windows == 0 && c.atom && UnregisterClassW(c.name, ModuleInstance())) c.atom = 0;
  }
}

namespace {

// A form window of this module's own class.
bool IsOwnFormWindow(HWND window) {
  ATOM atom = ClassState(TViewClass::Form).atom;
  return atom && static_cast<ATOM>(GetClassLongPtrW(window, GCW_ATOM)) == atom;
}

// Messages every window of the form class handles the same way.
LRESULT FormDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      HWND child = reinterpret_cast<HWND>(lParam);
      if (child && GetParent(child) == window)
        if (TWindowHandler* h = HandlerOf(child)) {
          h->Command(child, HIWORD(wParam));
          return 0;
        }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (TWindowHandler* h = HandlerOf(reinterpret_cast<HWND>(lParam)))
        if (HBRUSH brush = h->ControlColor(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
          return reinterpret_cast<LRESULT>(brush);
      break;
    case WM_SETCURSOR:
      if (ui_runtime::BusyCursor()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      RemoveHandler(window);
      WindowGone(TViewClass::Form);
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Guarded([&]() -> LRESULT {
    if (TWindowHandler* h = HandlerOf(window)) {
      LRESULT result = 0;
      if (h->FormMessage(window, message, wParam, lParam, result)) return result;
    }
    return FormDefault(window, message, wParam, lParam);
  });
}

LRESULT CALLBACK CanvasProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Guarded([&]() -> LRESULT {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;  // the painting covers the whole area
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        struct End {
          HWND w;
          PAINTSTRUCT* ps;
          ~End() { EndPaint(w, ps); }
        } end{window, &ps};
        RECT client;
        GetClientRect(window, &client);
        if (TWindowHandler* h = HandlerOf(window)) h->Paint(window, dc, client);
        return 0;
      }
      case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(window, &client);
        if (TWindowHandler* h = HandlerOf(window)) h->Paint(window, reinterpret_cast<HDC>(wParam), client);
        return 0;
      }
      case WM_NCDESTROY:
        RemoveHandler(window);
        WindowGone(TViewClass::Canvas);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  });
}

}  // namespace

void TControlLink::Connect(TControl& control, std::function<void()> onChange) {
  callback_ = std::make_shared<std::function<void()>>(std::move(onChange));
  control.AddChangeListener([weak = std::weak_ptr<std::function<void()>>(callback_)] {
    if (auto callback = weak.lock()) (*callback)();
  });
}

HWND WindowFromHandle(THandle handle) {
  return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(handle)));
}
THandle HandleFromWindow(HWND window) { return static_cast<THandle>(reinterpret_cast<std::uintptr_t>(window)); }
HICON IconFromHandle(std::uint32_t icon) {
  return reinterpret_cast<HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(icon)));
}
std::uint32_t HandleFromIcon(HICON icon) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(icon)); }

UString WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring buffer(std::size_t(length) + 1, L'\0');
  int got = GetWindowTextW(window, buffer.data(), length + 1);
  return FromWide(buffer.data(), std::size_t(std::max(got, 0)));
}

UString CrLfLines(UStringView text) {
  UString out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out += u"\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

HFONT DialogFont(bool bold) {
  struct TFonts {
    HFONT normal, bold;
    static HFONT Make(bool bold) {
      LOGFONTW lf{};
      lf.lfHeight = -MulDiv(8, 96, 72);
      lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
      lf.lfCharSet = DEFAULT_CHARSET;
      lf.lfQuality = DEFAULT_QUALITY;
      lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
      return CreateFontIndirectW(&lf);
    }
    TFonts() : normal(Make(false)), bold(Make(true)) {}
    ~TFonts() {
      DeleteObject(normal);
      DeleteObject(bold);
    }
  };
  static TFonts fonts;
  return bold ? fonts.bold : fonts.normal;
}

HINSTANCE ModuleInstance() {
  static HINSTANCE instance = [] {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleInstance), &m);
    return m;
  }();
  return instance;
}

HWND CreateViewWindow(TViewClass kind, DWORD exStyle, DWORD style, const RECT& bounds, HWND parent) {
  ReleaseUnusedClasses();
  TClassState& c = ClassState(kind);
  if (!c.atom) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = kind == TViewClass::Canvas ? CS_HREDRAW | CS_VREDRAW : 0;
    wc.lpfnWndProc = c.proc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = c.background;
    wc.lpszClassName = c.name;
    c.atom = RegisterClassExW(&wc);
    if (!c.atom) throw EOSError(u"The window class " + FromWide(c.name) + u" cannot be registered");
  }
  HWND window = CreateWindowExW(exStyle, c.name, L"", style, bounds.left, bounds.top, bounds.right - bounds.left,
                                bounds.bottom - bounds.top, parent, nullptr, ModuleInstance(), nullptr);
  if (window) ++c.windows;
  return window;
}

bool IsFormWindow(HWND window) {
  wchar_t name[32] = {};
  return GetClassNameW(window, name, 32) > 0 && std::wstring_view(name) == kFormClass;
}

HWND CreateControl(const wchar_t* className, const UString& text, DWORD style, const RECT& bounds, HWND parent,
                   DWORD exStyle, bool bold) {
  // Identifiers start above the dialog commands (IDOK, IDCANCEL, ...).
  static int nextId = 100;
  HWND window = CreateWindowExW(exStyle, className, WideText(text), style | WS_CHILD, bounds.left, bounds.top,
                                bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)), ModuleInstance(), nullptr);
  if (!window) throw EOSError(u"The control window cannot be made", GetLastError());
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(bold)), FALSE);
  return window;
}

void SetHandler(HWND window, TWindowHandler* handler) { SetPropW(window, kHandlerProperty, handler); }
void RemoveHandler(HWND window) { RemovePropW(window, kHandlerProperty); }
TWindowHandler* HandlerOf(HWND window) {
  return window ? static_cast<TWindowHandler*>(GetPropW(window, kHandlerProperty)) : nullptr;
}

LRESULT Guarded(const std::function<LRESULT()>& body, LRESULT onError) {
  try {
    return body();
  } catch (const Exception& e) {
    Application().ShowException(e);
  } catch (const std::bad_alloc&) {
    Application().ShowException(EOutOfMemory(u"Out of memory"));
  } catch (const std::exception& e) {
    Application().ShowException(Exception(Utf8ToUString(e.what())));
  } catch (...) {
    Application().ShowException(Exception(u"An unknown error occurred"));
  }
  return onError;
}

void Subclass(HWND window, WNDPROC proc) {
  auto original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
  SetPropW(window, kOriginalProcProperty, reinterpret_cast<HANDLE>(original));
}

LRESULT CallOriginal(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropW(window, kOriginalProcProperty));
  if (!original) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(window, kOriginalProcProperty);
    RemoveHandler(window);
  }
  return CallWindowProcW(original, window, message, wParam, lParam);
}

bool PumpMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      SyncBusyCursor();
      return false;
    }
    HWND root = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
    if (root && IsOwnFormWindow(root) && IsDialogMessageW(root, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  ReleaseUnusedClasses();
  SyncBusyCursor();
  return true;
}

void SyncBusyCursor() {
  static bool shown = false;
  bool busy = ui_runtime::BusyCursor();
  if (busy == shown) return;
  shown = busy;
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void ShowMessageBox(UStringView text, UStringView caption) {
  UString t(text), c(caption);
  UINT icon = caption == u"Error" ? MB_ICONERROR : MB_ICONINFORMATION;
  MessageBoxW(GetActiveWindow(), WideText(t), WideText(c), MB_OK | icon);
}

void Install() {
  ui_runtime::SetEventPump([] { PumpMessages(); });
  ui_runtime::SetMessageBoxSink(ShowMessageBox);
  InstallFileChooser();
}

}  // namespace win32_view
