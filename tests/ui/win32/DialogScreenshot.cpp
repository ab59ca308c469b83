// Renders the module's update dialog to PNG pictures, as a person sees it: idle, and after
// a run of a package chosen through the dialog's settings. The module is loaded with
// LoadLibraryW by a host of the reference host's services, under a main window that owns
// the dialog.
//   zorvik_win32_screenshot FILE.png MODULE PACKAGE
// writes FILE.png (idle) and FILE-run.png; prints what the run's error box said, if any.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/HostMenuItem.h"
#include "host/ModuleLoader.h"
#include "platform/WinText.h"
#include "tests/ui/win32/Win32TestHost.h"

namespace {

namespace fs = std::filesystem;

// Appends a PNG chunk: length, type, data and the CRC of type and data.
void Chunk(std::string& png, const char* type, const std::string& data) {
  auto be32 = [&](std::uint32_t v) {
    for (int s : {24, 16, 8, 0}) png.push_back(char((v >> s) & 0xFF));
  };
  be32(std::uint32_t(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  be32(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// Copies the window's client area as it is on the screen (the picture the Qt view's
// screenshot takes too) and writes it as an RGB PNG.
bool SavePicture(HWND window, const fs::path& file) {
  RECT r;
  GetClientRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HDC client = GetDC(window);
  BitBlt(dc, 0, 0, w, h, client, 0, 0, SRCCOPY);
  ReleaseDC(window, client);
  GdiFlush();
  std::string raw;
  raw.reserve(std::size_t(h) * (std::size_t(w) * 3 + 1));
  const auto* px = static_cast<const std::uint32_t*>(bits);
  for (int y = 0; y < h; ++y) {
    raw.push_back('\0');  // no filter
    for (int x = 0; x < w; ++x) {
      std::uint32_t p = px[std::size_t(y) * std::size_t(w) + std::size_t(x)];
      raw.push_back(char((p >> 16) & 0xFF));
      raw.push_back(char((p >> 8) & 0xFF));
      raw.push_back(char(p & 0xFF));
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);

  uLongf size = compressBound(uLong(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                9) != Z_OK)
    return false;
  packed.resize(size);
  std::string header;
  for (std::uint32_t v : {std::uint32_t(w), std::uint32_t(h)})
    for (int s : {24, 16, 8, 0}) header.push_back(char((v >> s) & 0xFF));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  std::string png("\x89PNG\r\n\x1a\n", 8);
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", "");
  std::ofstream out(file, std::ios::binary);
  out << png;
  return bool(out);
}

// The visible top-level window of this thread with the given class, owned by owner when
// that is given.
HWND FindWindowOf(const wchar_t* className, HWND owner) {
  struct Search {
    const wchar_t* name;
    HWND owner, found;
  } s{className, owner, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) {
        auto* s = reinterpret_cast<Search*>(p);
        wchar_t name[64] = {};
        GetClassNameW(w, name, 64);
        if (std::wstring(name) != s->name || !IsWindowVisible(w)) return TRUE;
        if (s->owner && GetWindow(w, GW_OWNER) != s->owner) return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND ChildWithText(HWND parent, const wchar_t* text) {
  HWND found = nullptr;
  for (HWND c = GetWindow(parent, GW_CHILD); c && !found; c = GetWindow(c, GW_HWNDNEXT))
    if (win32_view::WindowText(c) == FromWide(text)) found = c;
  return found;
}

// Whether a "..." button inside one of the form's edits is shown.
bool BrowseButtonShown(HWND form) {
  for (HWND c = GetWindow(form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (HWND b = ChildWithText(c, L"..."); b && IsWindowVisible(b)) return true;
  return false;
}

// What the timer does next.
enum class TStep { Idle, StartRun, AwaitRun, Done };
struct TState {
  TStep step = TStep::Idle;
  fs::path file, runFile;
  bool ok = true;
  int ticks = 0;
  std::string box;
} g;

void Save(HWND w, const fs::path& file) {
  // Let everything paint first.
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  if (SavePicture(w, file)) {
    std::printf("Saved %s\n", file.string().c_str());
  } else {
    std::fprintf(stderr, "zorvik_win32_screenshot: no picture could be saved to %s\n", file.string().c_str());
    g.ok = false;
  }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  HWND form = FindWindowOf(L"ZorvikForm", nullptr);
  if (++g.ticks > 600) {  // a minute: give up
    std::fprintf(stderr, "zorvik_win32_screenshot: the dialog did not get where it should\n");
    g.ok = false;
    if (form) PostMessageW(form, WM_CLOSE, 0, 0);
    g.step = TStep::Done;
    return;
  }
  if (!form) return;
  switch (g.step) {
    case TStep::Idle:
      Save(form, g.file);
      g.step = TStep::StartRun;
      PostMessageW(form, WM_CLOSE, 0, 0);
      break;
    case TStep::StartRun:
      // The dialog that opened with the settings, once it has finished opening (its
      // pending messages are handled while it opens): Update is enabled and the local
      // source shows its browse button.
      if (HWND update = ChildWithText(form, L"Update"); update && IsWindowEnabled(update) && BrowseButtonShown(form)) {
        g.step = TStep::AwaitRun;
        PostMessageW(update, BM_CLICK, 0, 0);
      }
      break;
    case TStep::AwaitRun: {
      // The run ends with the error box or with the log's last line.
      if (HWND box = FindWindowOf(L"#32770", form)) {
        if (HWND text = GetDlgItem(box, 0xFFFF)) g.box = UStringToUtf8(win32_view::WindowText(text));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
      }
      UString log;
      for (HWND c = GetWindow(form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongPtrW(c, GWL_STYLE) & ES_MULTILINE) log = win32_view::WindowText(c);
      if (g.box.empty() && log.find(u"Elapsed time") == UString::npos) return;
      Save(form, g.runFile);
      g.step = TStep::Done;
      PostMessageW(form, WM_CLOSE, 0, 0);
      break;
    }
    case TStep::Done:
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "Usage: zorvik_win32_screenshot FILE.png MODULE PACKAGE\n");
    return 2;
  }
  g.file = argv[1];
  g.runFile = g.file.parent_path() / (g.file.stem().string() + "-run" + g.file.extension().string());
  const UString module = Utf8ToUString(argv[2]);

  const fs::path data = fs::temp_directory_path() / ("zorvik-shot-" + std::to_string(GetTickCount()));
  fs::create_directories(data);
  int rc = 0;
  {
    TWin32TestCore core(data);
    HWND main = CreateWindowExW(0, L"STATIC", L"zorvik-host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 800, 600, nullptr,
                                nullptr, nullptr, nullptr);
    if (!main) {
      std::fprintf(stderr, "zorvik_win32_screenshot: no window can be made (is there a display?)\n");
      return 1;
    }
    core.Windows.MainWindow = win32_view::HandleFromWindow(main);
    TModuleLoader loader(module, &core.Menus);
    if (Failed(loader.Start(&core)) || core.Menus.Items().empty()) {
      std::fprintf(stderr, "zorvik_win32_screenshot: the module did not start\n");
      return 1;
    }
    THostMenuItem& item = *core.Menus.Items().front().Get();
    UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
    // Idle: the dialog as it first opens.
    item.Click();
    // A run: the settings choose the local package and two fields.
    std::ofstream(fs::path(core.Kernel.IniPath())) << "[Zorvik]\r\nLocation=Local\r\nResource=" << argv[3]
                                                   << "\r\nName=1\r\nQTH=1\r\n";
    item.Click();
    KillTimer(nullptr, timer);
    if (!g.box.empty()) std::printf("The run's error box said: %s\n", g.box.c_str());
    rc = g.ok && g.step == TStep::Done ? 0 : 1;
    loader.Unload(true);
    DestroyWindow(main);
  }
  std::error_code ec;
  fs::remove_all(data, ec);
  return rc;
}
