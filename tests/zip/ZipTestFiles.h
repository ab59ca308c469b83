// Files for the ZIP reader's tests: a temporary folder, whole-file reads and writes, and
// a small archive writer for layouts the shared fixtures do not cover.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

std::filesystem::path Fixture(const std::string& relative);
TBytes ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const TBytes& data);

// A fresh folder that is removed with everything in it.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct TTestMember {
  std::string rawName;           // bytes of the stored name
  TBytes data;
  bool deflate = true;
  std::uint16_t flags = 0;
  std::uint32_t dosDateTime = 0x00210000;  // 1980-01-01 00:00
};

struct TTestArchiveOptions {
  std::string comment;
  bool zip64 = false;  // 64-bit fields in the central directory and the ZIP64 end records
};

// Lays out an archive: local headers and data, central directory, end records.
TBytes BuildArchive(const std::vector<TTestMember>& members, const TTestArchiveOptions& options = {});

// A block of varied, compressible bytes.
TBytes SampleData(std::size_t size, std::uint32_t seed);
