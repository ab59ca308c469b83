#include "platform/DynLib.h"

#include <dlfcn.h>

std::unique_ptr<TDynLib> TDynLib::TryLoad(std::initializer_list<const char*> names, std::string* error) {
  for (const char* n : names) {
    if (void* h = ::dlopen(n, RTLD_NOW | RTLD_LOCAL)) return std::unique_ptr<TDynLib>(new TDynLib(h, n));
    if (error) {
      const char* e = ::dlerror();
      *error = e ? e : "cannot load library";
    }
  }
  return nullptr;
}

TDynLib::~TDynLib() {
  if (handle_) ::dlclose(handle_);
}

void* TDynLib::Symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

bool PinLoadedLibrary(const char* name) {
  // The handle is deliberately never closed: RTLD_NODELETE makes the library stay.
  return ::dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}
