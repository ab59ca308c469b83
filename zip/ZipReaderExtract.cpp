// Extraction of one member: local header, then stored copy or inflation, with CRC-32 and
// size checks against the central directory.
#include <zlib.h>

#include <algorithm>

#include "zip/ZipDirectory.h"
#include "zip/ZipError.h"
#include "zip/ZipFormat.h"
#include "zip/ZipInflater.h"
#include "zip/ZipReader.h"
#include "zip/ZipStreamRead.h"

using namespace zipfmt;

namespace {

constexpr std::size_t kInChunk = 64 * 1024;
constexpr std::size_t kOutChunk = 256 * 1024;

UString Num(std::uint64_t v) { return IntToStr(static_cast<std::int64_t>(v)); }

[[noreturn]] void MemberError(const TZipEntry& e, const UString& why) {
  throw EZipError(u"ZIP member \"" + e.Name + u"\" " + why);
}

// Feeds a member's compressed bytes, never more than the central directory declares.
class TMemberInput {
 public:
  TMemberInput(TStream& s, const TZipEntry& e, std::vector<std::uint8_t>& buf)
      : s_(s), e_(e), buf_(buf), left_(e.CompressedSize) {}
  std::uint64_t Left() const { return left_; }
  // Reads the next chunk; returns how many bytes it holds (0 when all was read).
  std::size_t Next() {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, buf_.size()));
    std::size_t got = 0;
    while (got < n) {
      const std::size_t r = s_.Read(buf_.data() + got, n - got);
      if (r == 0) MemberError(e_, u"is truncated: the archive ends inside its data");
      got += r;
    }
    left_ -= n;
    return n;
  }

 private:
  TStream& s_;
  const TZipEntry& e_;
  std::vector<std::uint8_t>& buf_;
  std::uint64_t left_;
};

void CheckResult(const TZipEntry& e, std::uint64_t written, std::uint32_t crc) {
  if (written != e.UncompressedSize)
    MemberError(e, u"is damaged: " + Num(written) + u" bytes extracted, " +
                       Num(e.UncompressedSize) + u" declared");
  if (crc != e.Crc32)
    MemberError(e, Format(u"failed its CRC check: stored %.8x, computed %.8x", {e.Crc32, crc}));
}

}  // namespace

void TZipReader::Extract(std::size_t index, TStream& dest) {
  if (!directory_) throw EZipError(u"No ZIP archive is open");
  const auto& entries = directory_->Entries();
  if (index >= entries.size()) throw EZipError(u"No ZIP member number " + Num(index));
  const TZipEntry& e = entries[index];

  if (e.Flags & kFlagEncrypted) MemberError(e, u"is encrypted; encrypted members are not supported");
  if (e.Method != kMethodStored && e.Method != kMethodDeflated)
    MemberError(e, u"uses compression method " + Num(e.Method) +
                       u"; only stored (0) and deflated (8) are supported");

  // Member data lies before the central directory. The local header may differ from the
  // central directory; only its name and extra lengths are used, to find the data.
  const std::uint64_t limit = directory_->CentralDirectoryOffset();
  if (e.LocalHeaderOffset > limit || limit - e.LocalHeaderOffset < kLocalHeaderSize)
    MemberError(e, u"has its local header outside the archive");
  std::uint8_t h[kLocalHeaderSize];
  ReadExactAt(*archive_, e.LocalHeaderOffset, h, sizeof h, u"a local header");
  if (Get32(h) != kLocalHeaderSig) MemberError(e, u"has a bad local header signature");
  const std::uint64_t dataOffset = e.LocalHeaderOffset + kLocalHeaderSize + Get16(h + 26) + Get16(h + 28);
  if (dataOffset > limit || e.CompressedSize > limit - dataOffset)
    MemberError(e, u"has data that lies outside the archive");

  if (inBuf_.empty()) inBuf_.resize(kInChunk);
  if (e.Method == kMethodStored)
    CopyStored(e, dataOffset, dest);
  else
    Inflate(e, dataOffset, dest);
}

void TZipReader::CopyStored(const TZipEntry& e, std::uint64_t dataOffset, TStream& dest) {
  if (e.CompressedSize != e.UncompressedSize)
    MemberError(e, u"is damaged: stored with " + Num(e.CompressedSize) + u" bytes but declares " +
                       Num(e.UncompressedSize));
  archive_->Seek(static_cast<std::int64_t>(dataOffset), TSeekOrigin::soBeginning);
  TMemberInput in(*archive_, e, inBuf_);
  std::uint32_t crc = crc32(0, nullptr, 0);
  std::uint64_t written = 0;
  while (std::size_t n = in.Next()) {
    crc = crc32(crc, inBuf_.data(), static_cast<uInt>(n));
    dest.WriteBuffer(inBuf_.data(), n);
    written += n;
  }
  CheckResult(e, written, crc);
}

void TZipReader::Inflate(const TZipEntry& e, std::uint64_t dataOffset, TStream& dest) {
  if (outBuf_.empty()) outBuf_.resize(kOutChunk);
  archive_->Seek(static_cast<std::int64_t>(dataOffset), TSeekOrigin::soBeginning);
  TMemberInput in(*archive_, e, inBuf_);
  TZipInflater inflater;
  std::uint32_t crc = crc32(0, nullptr, 0);
  std::uint64_t written = 0;
  for (;;) {
    if (inflater.InputLeft() == 0 && in.Left() > 0) inflater.SetInput(inBuf_.data(), in.Next());
    std::size_t produced = 0;
    const auto result = inflater.Inflate(outBuf_.data(), outBuf_.size(), produced);
    if (result == TZipInflater::TResult::DataError)
      MemberError(e, u"has damaged compressed data (" + U(inflater.Message()) + u")");
    if (produced > e.UncompressedSize - written)
      MemberError(e, u"is damaged: its data exceeds the declared size of " +
                         Num(e.UncompressedSize) + u" bytes");
    if (produced > 0) {
      crc = crc32(crc, outBuf_.data(), static_cast<uInt>(produced));
      dest.WriteBuffer(outBuf_.data(), produced);
      written += produced;
    }
    if (result == TZipInflater::TResult::End) break;
    if (produced == 0 && inflater.InputLeft() == 0 && in.Left() == 0)
      MemberError(e, u"is truncated: its compressed data ends early");
  }
  CheckResult(e, written, crc);
}
