// The ZIP reader on arbitrary archive bytes: open, find DB.mdb, extract it into memory,
// then every other member. A damaged archive must fail with EZipError and nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/Classes.h"
#include "zip/ZipError.h"
#include "zip/ZipReader.h"

namespace {

// Keeps what is written, up to a cap, so that an archive declaring a huge member costs
// no more than the cap; the reader checks sizes and CRC-32 itself.
class TCappedSink : public TMemoryStream {
 public:
  static constexpr std::size_t kCap = 64u << 20;
  struct TFull {};
  std::size_t Write(const void* buffer, std::size_t count) override {
    if (Size() + static_cast<std::int64_t>(count) > static_cast<std::int64_t>(kCap)) throw TFull{};
    return TMemoryStream::Write(buffer, count);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream archive;
  if (size) archive.WriteBuffer(data, size);
  archive.SetPosition(0);
  TZipReader zip;
  try {
    zip.Open(archive);
  } catch (const EZipError&) {
    return 0;
  }
  TZipSearchRec found;
  if (zip.FindFirst(u"DB.mdb", found)) {
    try {
      TCappedSink db;
      zip.Extract(found, db);
    } catch (const EZipError&) {
    } catch (const TCappedSink::TFull&) {
    }
  }
  const std::size_t members = zip.Entries().size();
  for (std::size_t i = 0; i < members && i < 16; ++i) {
    try {
      TCappedSink out;
      zip.Extract(i, out);
    } catch (const EZipError&) {
    } catch (const TCappedSink::TFull&) {
    }
  }
  return 0;
}
