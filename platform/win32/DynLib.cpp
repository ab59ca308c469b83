// Loading libraries at run time on Windows.
#include "platform/DynLib.h"
#include "platform/Kernel.h"
#include "platform/WinText.h"

std::unique_ptr<TDynLib> TDynLib::TryLoad(std::initializer_list<const char*> names, std::string* error) {
  for (const char* n : names) {
    UString wide = Utf8ToUString(n);
    // No error box appears when a library is missing; the thread's mode is restored.
    DWORD old = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old);
    HMODULE h = ::LoadLibraryW(WideText(wide));
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
