#include "ZipTestFiles.h"

#include <zlib.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <unistd.h>

namespace fs = std::filesystem;

fs::path Fixture(const std::string& relative) { return fs::path(ZORVIK_FIXTURES) / relative; }

TBytes ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return TBytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& file, const TBytes& data) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

TTempDir::TTempDir() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("zorvik-zip-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TTempDir::~TTempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

namespace {

// Appends little-endian fields, each given as {value, width in bytes}.
void Put(TBytes& b, std::initializer_list<std::pair<std::uint64_t, int>> fields) {
  for (auto [v, width] : fields)
    for (int i = 0; i < width; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}
void PutBytes(TBytes& b, const void* p, std::size_t n) {
  auto* c = static_cast<const std::uint8_t*>(p);
  b.insert(b.end(), c, c + n);
}

TBytes RawDeflate(const TBytes& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  TBytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

}  // namespace

TBytes BuildArchive(const std::vector<TTestMember>& members, const TTestArchiveOptions& options) {
  TBytes file, cd;
  for (const TTestMember& m : members) {
    const TBytes stored = m.deflate ? RawDeflate(m.data) : m.data;
    const std::uint32_t crc = crc32(0, m.data.data(), static_cast<uInt>(m.data.size()));
    const std::uint16_t method = m.deflate ? 8 : 0;
    const std::uint64_t offset = file.size();

    Put(file, {{0x04034B50, 4}, {20, 2}, {m.flags, 2}, {method, 2}, {m.dosDateTime, 4}, {crc, 4},
               {stored.size(), 4}, {m.data.size(), 4}, {m.rawName.size(), 2}, {0, 2}});
    PutBytes(file, m.rawName.data(), m.rawName.size());
    PutBytes(file, stored.data(), stored.size());

    TBytes extra;
    if (options.zip64) Put(extra, {{0x0001, 2}, {24, 2}, {m.data.size(), 8}, {stored.size(), 8}, {offset, 8}});
    const std::uint64_t wide = 0xFFFFFFFF;
    Put(cd, {{0x02014B50, 4}, {45, 2}, {45, 2}, {m.flags, 2}, {method, 2}, {m.dosDateTime, 4}, {crc, 4},
             {options.zip64 ? wide : stored.size(), 4}, {options.zip64 ? wide : m.data.size(), 4},
             {m.rawName.size(), 2}, {extra.size(), 2}, {0, 2}, {0, 2}, {0, 2}, {0, 4},
             {options.zip64 ? wide : offset, 4}});
    PutBytes(cd, m.rawName.data(), m.rawName.size());
    PutBytes(cd, extra.data(), extra.size());
  }
  const std::uint64_t cdOffset = file.size();
  PutBytes(file, cd.data(), cd.size());
  const std::uint64_t count = members.size(), zip64End = file.size();
  if (options.zip64)
    Put(file, {{0x06064B50, 4}, {44, 8}, {45, 2}, {45, 2}, {0, 4}, {0, 4}, {count, 8}, {count, 8},
               {cd.size(), 8}, {cdOffset, 8},                                  // ZIP64 end record
               {0x07064B50, 4}, {0, 4}, {zip64End, 8}, {1, 4}});             // its locator
  const bool z = options.zip64;
  Put(file, {{0x06054B50, 4}, {0, 2}, {0, 2}, {z ? 0xFFFF : count, 2}, {z ? 0xFFFF : count, 2},
             {z ? 0xFFFFFFFF : cd.size(), 4}, {z ? 0xFFFFFFFF : cdOffset, 4}, {options.comment.size(), 2}});
  PutBytes(file, options.comment.data(), options.comment.size());
  return file;
}

TBytes SampleData(std::size_t size, std::uint32_t seed) {
  TBytes b(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    // Mostly a small alphabet with runs, so deflate has work of both kinds.
    b[i] = (x >> 28) < 3 ? std::uint8_t(x >> 16) : std::uint8_t('a' + ((i / 7 + (x >> 30)) % 16));
  }
  return b;
}
