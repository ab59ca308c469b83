#include "jet/JetFile.h"

#include <array>
#include <cstring>
#include <memory>

#include "jet/EDatabaseError.h"
#include "platform/Classes.h"
#include "platform/Kernel.h"

namespace {

// A Jet file begins with 00 01 00 00 and the engine's name; byte 0x14 holds the version
// (0 Jet 3, 1 Jet 4). Later versions (ACE) are a different format.
constexpr unsigned char kMagic[] = {0x00, 0x01, 0x00, 0x00};
constexpr char kEngineName[] = "Standard Jet DB";
constexpr std::size_t kVersionOffset = 0x14;
// The system catalog's table definition lives on page 2, so a usable file has at least
// three pages.
constexpr std::uint64_t kMinPages = 3;

[[noreturn]] void Fail(UStringView templ, UStringView file) {
  throw EDatabaseError(Format(templ, {file}));
}

}  // namespace

TJetFileInfo CheckJetFile(const UString& path) {
  if (DirectoryExists(path)) Fail(u"Could not open '%s': it is a folder, not a database file", path);
  if (!FileExists(path)) Fail(u"Could not find file '%s'.", path);

  std::unique_ptr<TFileStream> in;
  std::int64_t size = 0;
  std::array<unsigned char, 0x20> header{};
  std::size_t got = 0;
  try {
    in = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyNone);
    size = in->Size();
    got = in->Read(header.data(), header.size());
  } catch (const Exception& e) {
    throw EDatabaseError(Format(u"Could not open file '%s' for reading: %s", {path, e.Message}));
  }
  if (got != header.size() || std::memcmp(header.data(), kMagic, sizeof kMagic) != 0 ||
      std::memcmp(header.data() + 4, kEngineName, sizeof kEngineName) != 0)
    Fail(u"Unrecognized database format '%s': not a Jet database.", path);

  TJetFileInfo info;
  switch (header[kVersionOffset]) {
    case 0: info.Version = 3; info.PageSize = 2048; break;
    case 1: info.Version = 4; info.PageSize = 4096; break;
    default:
      Fail(u"Unrecognized database format '%s': a Jet version other than 3 or 4.", path);
  }
  if (size < 0 || std::uint64_t(size) % info.PageSize != 0 ||
      std::uint64_t(size) / info.PageSize < kMinPages)
    throw EDatabaseError(Format(
        u"The database '%s' is damaged or truncated: its size of %u bytes is not a whole "
        u"number of %u-byte pages.",
        {path, std::uint64_t(size), info.PageSize}));
  info.FileSize = std::uint64_t(size);
  return info;
}
