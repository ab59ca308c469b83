// Shared helpers of the host and module tests: a temporary data folder and a real host
// built in it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "host/HostCore.h"
#include "host/HostUpdate.h"
#include "platform/OleAuto.h"

// A fresh folder under the system's temporary folder, removed with its contents.
class TTempDir {
 public:
  TTempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      auto p = std::filesystem::temp_directory_path() / ("zorvik-host-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(p)) path_ = p;
    }
    if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  UString U16() const { return path_.u16string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A copy of the bundled sample package for this test program, made once. The module
// opens a package for itself alone, so test programs that run at the same time must not
// share one file.
inline UString SamplePackageCopy() {
  static const TTempDir dir;
  static const UString copy = [] {
    const std::filesystem::path p = dir.Path() / "sample-package.zip";
    std::filesystem::copy_file(std::filesystem::path(ExamplesDir()) / "sample-package.zip", p);
    return p.u16string();
  }();
  return copy;
}

// A real host in a temporary data folder, its log kept off the terminal.
struct THostFixture : ::testing::Test {
  TTempDir dir;
  std::unique_ptr<THostCore> host = MakeHost();

  std::unique_ptr<THostCore> MakeHost() {
    auto h = std::make_unique<THostCore>(dir.U16());
    h->Kernel.EchoLog = false;
    h->Kernel.MessageHook = nullptr;
    return h;
  }
};

// The number of BSTRs alive in the process, where the platform counts them; nothing
// where the system's oleaut32 keeps them.
std::optional<long> LiveStringCount();

// The thread's error information after a failed call, taken over.
inline TCallError LastError(HRESULT hr) { return TakeCallError(hr); }
