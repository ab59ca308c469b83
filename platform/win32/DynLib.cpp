// Loading libraries at run time on Windows.
#include "platform/DynLib.h"
#include "platform/Kernel.h"
#include "platform/WinText.h"

namespace {

// The folder of the module this code is linked into (the plug-in, not the host's
// program), with its trailing delimiter; empty when it cannot be found.
UString OwnFolder() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnFolder), &self))
    return {};
  wchar_t buf[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(self, buf, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  return ExtractFilePath(FromWide(buf, n));
}

// A bare name is looked for first beside the module, where libraries that come with a
// plug-in lie, and then where the system looks; the libraries it needs are looked for in
// its own folder first.
HMODULE Load(const UString& name) {
  const bool bare = name.find_first_of(u"/\\:") == UString::npos;
  if (bare) {
    UString folder = OwnFolder();
    UString beside = folder + name;
    if (!folder.empty() && FileExists(beside))
      if (HMODULE h = ::LoadLibraryExW(WideText(beside), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) return h;
  }
  return ::LoadLibraryExW(WideText(name), nullptr, bare ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

std::unique_ptr<TDynLib> TDynLib::TryLoad(std::initializer_list<const char*> names, std::string* error) {
  for (const char* n : names) {
    UString wide = Utf8ToUString(n);
    // No error box appears when a library is missing; the thread's mode is restored.
    DWORD old = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old);
    HMODULE h = Load(wide);
    DWORD err = ::GetLastError();
    ::SetThreadErrorMode(old, nullptr);
    if (h) return std::unique_ptr<TDynLib>(new TDynLib(h, n));
    if (error) *error = n + std::string(": ") + UStringToUtf8(OSErrorText(static_cast<int>(err)));
  }
  return nullptr;
}

TDynLib::~TDynLib() {
  if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

void* TDynLib::Symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

bool PinLoadedLibrary(const char* name) {
  HMODULE h = nullptr;
  UString wide = Utf8ToUString(name);
  return ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, WideText(wide), &h) != 0;
}
