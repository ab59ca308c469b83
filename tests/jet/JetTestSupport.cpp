#include "tests/jet/JetTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "jet/EDatabaseError.h"
#include "jet/JetConnection.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string Fixture(const std::string& relative) {
  // A test program taken to another machine finds the fixtures where the variable says.
  const char* folder = std::getenv("ZORVIK_FIXTURES");
  return std::string(folder && *folder ? folder : ZORVIK_FIXTURES) + "/" + relative;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

std::vector<TRow> TinyRows() {
  std::vector<TRow> rows;
  for (const std::string& line : Split(ReadBytes(Fixture("packages/tiny.tsv")), '\n')) {
    if (line.empty()) continue;
    TRow row;
    for (const std::string& cell : Split(line, '\t')) {
      if (cell == "\\N") {
        row.push_back(std::nullopt);
        continue;
      }
      std::string v;
      for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] == '\\' && i + 1 < cell.size() && cell[i + 1] == 't') {
          v += '\t';
          ++i;
        } else {
          v += cell[i];
        }
      }
      row.push_back(U(v));
    }
    rows.push_back(row);
  }
  return rows;
}

std::string ScratchDir() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  const fs::path dir = fs::temp_directory_path() / "zorvik-jet-tests" / name;
  static std::string last;
  if (last != dir.string()) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    last = dir.string();
  }
  return dir.string();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

UString JetConnectionStringFor(const std::string& path) {
  return U("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";");
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.what();
  }
  return "(no error)";
}

std::string AlteredCopy(const std::string& name, const std::function<void(std::string&)>& edit) {
  std::string bytes = ReadBytes(Fixture("mdb/callbook-tiny.mdb"));
  edit(bytes);
  const std::string path = ScratchDir() + "/" + name;
  WriteBytes(path, bytes);
  return path;
}

void ExpectOpenFails(const std::string& path, const std::string& what) {
  TJetConnection db;
  const std::string message = ErrorOf([&] { db.Open(JetConnectionStringFor(path)); });
  EXPECT_THAT(message, testing::AllOf(testing::HasSubstr(path), testing::HasSubstr(what)));
  EXPECT_FALSE(db.Connected());
}
