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

void Put16(TBytes& b, std::uint32_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
void Put32(TBytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Put64(TBytes& b, std::uint64_t v) {
  Put32(b, std::uint32_t(v));
  Put32(b, std::uint32_t(v >> 32));
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

    Put32(file, 0x04034B50);
    Put16(file, 20);
    Put16(file, m.flags);
    Put16(file, method);
    Put32(file, m.dosDateTime);
    Put32(file, crc);
    Put32(file, std::uint32_t(stored.size()));
    Put32(file, std::uint32_t(m.data.size()));
    Put16(file, std::uint16_t(m.rawName.size()));
    Put16(file, 0);
    PutBytes(file, m.rawName.data(), m.rawName.size());
    PutBytes(file, stored.data(), stored.size());

    TBytes extra;
    if (options.zip64) {
      Put16(extra, 0x0001);
      Put16(extra, 24);
      Put64(extra, m.data.size());
      Put64(extra, stored.size());
      Put64(extra, offset);
    }
    const std::uint32_t wide = options.zip64 ? 0xFFFFFFFF : 0;
    Put32(cd, 0x02014B50);
    Put16(cd, 45);
    Put16(cd, 45);
    Put16(cd, m.flags);
    Put16(cd, method);
    Put32(cd, m.dosDateTime);
    Put32(cd, crc);
    Put32(cd, options.zip64 ? wide : std::uint32_t(stored.size()));
    Put32(cd, options.zip64 ? wide : std::uint32_t(m.data.size()));
    Put16(cd, std::uint16_t(m.rawName.size()));
    Put16(cd, std::uint16_t(extra.size()));
    Put16(cd, 0);
    Put16(cd, 0);
    Put16(cd, 0);
    Put32(cd, 0);
    Put32(cd, options.zip64 ? wide : std::uint32_t(offset));
    PutBytes(cd, m.rawName.data(), m.rawName.size());
    PutBytes(cd, extra.data(), extra.size());
  }
  const std::uint64_t cdOffset = file.size();
  PutBytes(file, cd.data(), cd.size());
  if (options.zip64) {
    const std::uint64_t zip64End = file.size();
    Put32(file, 0x06064B50);
    Put64(file, 44);
    Put16(file, 45);
    Put16(file, 45);
    Put32(file, 0);
    Put32(file, 0);
    Put64(file, members.size());
    Put64(file, members.size());
    Put64(file, cd.size());
    Put64(file, cdOffset);
    Put32(file, 0x07064B50);
    Put32(file, 0);
    Put64(file, zip64End);
    Put32(file, 1);
  }
  Put32(file, 0x06054B50);
  Put16(file, 0);
  Put16(file, 0);
  Put16(file, options.zip64 ? 0xFFFF : std::uint16_t(members.size()));
  Put16(file, options.zip64 ? 0xFFFF : std::uint16_t(members.size()));
  Put32(file, options.zip64 ? 0xFFFFFFFF : std::uint32_t(cd.size()));
  Put32(file, options.zip64 ? 0xFFFFFFFF : std::uint32_t(cdOffset));
  Put16(file, std::uint16_t(options.comment.size()));
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
