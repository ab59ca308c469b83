// The fixture of the INI store's tests: a fresh folder per test and files as bytes.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ui/IniFile.h"

namespace ini_test {

namespace fs = std::filesystem;

// Text as the bytes of a file in the given encoding, byte-order mark included.
inline std::string Encoded(std::u16string_view text, TIniEncoding enc) {
  if (enc == TIniEncoding::ieUtf8) return "\xEF\xBB\xBF" + UStringToUtf8(text);
  if (enc == TIniEncoding::ieAnsi) return std::string(text.begin(), text.end());  // Latin-1 text
  const bool le = enc == TIniEncoding::ieUtf16LE;
  std::string out = le ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t c : text) {
    char lo = char(c & 0xFF), hi = char(c >> 8);
    out += le ? std::string{lo, hi} : std::string{hi, lo};
  }
  return out;
}

// The message of the E that action raises; empty when it raises none.
template <class E, class F>
std::string MessageOf(F action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  }
  return {};
}

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("ini-" + std::to_string(stamp) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms(0755));
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms(0755));
    fs::remove_all(dir_);
  }
  UString Path(const std::string& name) const { return (dir_ / name).u16string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ostringstream s;
    s << std::ifstream(dir_ / name, std::ios::binary).rdbuf();
    return s.str();
  }

  fs::path dir_;
};

}  // namespace ini_test
