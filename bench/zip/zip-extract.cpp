// Extraction throughput of the ZIP reader against plain zlib on the same member, in the
// same run: the reader streams DB.mdb from the archive file into a file or into nothing,
// and the peer inflates the member's data from memory with CRC-32, writing nowhere.
//
// Usage: zip-extract ARCHIVE [OUTPUT_FILE] [ROUNDS]
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/Classes.h"
#include "zip/ZipReader.h"

namespace {

class TNullStream : public TStream {
 public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void*, std::size_t count) override { return count; }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }
};

template <typename F>
void Measure(const char* what, std::uint64_t bytes, int rounds, F&& f) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  std::printf("%-28s %8.3f s %8.0f MB/s\n", what, best, bytes / best / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ARCHIVE [OUTPUT_FILE] [ROUNDS]\n", argv[0]);
    return 2;
  }
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  try {
    TFileStream archive(U(argv[1]), fmOpenRead | fmShareDenyWrite);
    TZipReader reader;
    reader.Open(archive);
    TZipSearchRec rec;
    if (!reader.FindFirst(u"DB.mdb", rec)) {
      std::fprintf(stderr, "no DB.mdb in %s\n", argv[1]);
      return 1;
    }
    const TZipEntry& e = reader.Entries()[rec.Index];
    std::printf("DB.mdb: %llu bytes, %llu compressed\n", (unsigned long long)e.UncompressedSize,
                (unsigned long long)e.CompressedSize);

    Measure("reader -> null stream", e.UncompressedSize, rounds, [&] {
      TNullStream sink;
      reader.Extract(rec, sink);
    });
    if (argc > 2)
      Measure("reader -> file", e.UncompressedSize, rounds, [&] {
        TFileStream out(U(argv[2]), fmCreate);
        reader.Extract(rec, out);
      });

    // The peer: the member's compressed bytes in memory, inflated by zlib alone.
    std::uint8_t h[30];
    archive.SetPosition(static_cast<std::int64_t>(e.LocalHeaderOffset));
    archive.ReadBuffer(h, sizeof h);
    archive.SetPosition(static_cast<std::int64_t>(e.LocalHeaderOffset + 30 + (h[26] | h[27] << 8) +
                                                  (h[28] | h[29] << 8)));
    std::vector<std::uint8_t> in(e.CompressedSize), out(256 * 1024);
    archive.ReadBuffer(in.data(), in.size());
    if (e.Method == 8)
      Measure("zlib inflate + crc32 (peer)", e.UncompressedSize, rounds, [&] {
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(in.size());
        uLong crc = crc32(0, nullptr, 0);
        int rc;
        do {
          z.next_out = out.data();
          z.avail_out = static_cast<uInt>(out.size());
          rc = inflate(&z, Z_NO_FLUSH);
          crc = crc32(crc, out.data(), static_cast<uInt>(out.size() - z.avail_out));
        } while (rc == Z_OK);
        inflateEnd(&z);
        if (crc != e.Crc32) std::fprintf(stderr, "peer CRC mismatch\n");
      });
  } catch (const Exception& ex) {
    std::fprintf(stderr, "%s\n", ex.what());
    return 1;
  }
  return 0;
}
