// Loading libraries at run time.
#pragma once

#include <memory>
#include <string>

// Keeps an already loaded library in memory for the life of the process, also after
// everything that loaded it has been unloaded. For libraries that cannot be unloaded
// safely. Returns false when the library is not loaded.
bool PinLoadedLibrary(const char* name);

// One loaded library; unloads it when destroyed.
class TDynLib {
 public:
  // Loads the first of the names that the system can load. Returns null when none loads;
  // error then holds the loader's last message.
  static std::unique_ptr<TDynLib> TryLoad(std::initializer_list<const char*> names,
                                          std::string* error = nullptr);
  ~TDynLib();
  TDynLib(const TDynLib&) = delete;
  TDynLib& operator=(const TDynLib&) = delete;

  // The address of an exported symbol, or null.
  void* Symbol(const char* name) const;
  template <class F>
  F Function(const char* name) const {
    return reinterpret_cast<F>(Symbol(name));
  }
  const std::string& Name() const { return name_; }

 private:
  TDynLib(void* handle, std::string name) : handle_(handle), name_(std::move(name)) {}
  void* handle_;
  std::string name_;
};
