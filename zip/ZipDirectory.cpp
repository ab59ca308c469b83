#include "zip/ZipDirectory.h"

#include <algorithm>
#include <string_view>

#include "zip/Cp437.h"
#include "zip/ZipError.h"
#include "zip/ZipFormat.h"
#include "zip/ZipStreamRead.h"

using namespace zipfmt;

struct TZipDirectory::TEndRecord {
  std::uint64_t position = 0;     // where the end record (or the ZIP64 end record) starts
  std::uint32_t diskNumber = 0;
  std::uint32_t cdDisk = 0;
  std::uint64_t entriesOnDisk = 0;
  std::uint64_t entriesTotal = 0;
  std::uint64_t cdSize = 0;
  std::uint64_t cdOffset = 0;
};

namespace {

UString Num(std::uint64_t v) { return IntToStr(static_cast<std::int64_t>(v)); }

[[noreturn]] void Damaged(const UString& why) { throw EZipError(u"Damaged ZIP archive: " + why); }

}  // namespace

TZipDirectory::TZipDirectory(TStream& archive) {
  const std::int64_t size = archive.Size();
  archiveSize_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  TEndRecord end = FindEndRecord(archive);
  if (end.diskNumber != 0 || end.cdDisk != 0 || end.entriesOnDisk != end.entriesTotal)
    throw EZipError(u"Spanned or split ZIP archives are not supported");
  // The central directory lies between the member data and the end records.
  if (end.cdOffset > end.position || end.cdSize > end.position - end.cdOffset)
    Damaged(u"the central directory (offset " + Num(end.cdOffset) + u", size " + Num(end.cdSize) +
            u") lies outside the archive");
  if (end.cdSize > kMaxCentralDirectorySize)
    throw EZipError(u"ZIP archive not supported: its central directory of " + Num(end.cdSize) +
                    u" bytes is too large");
  if (end.entriesTotal > end.cdSize / kCentralHeaderSize)
    Damaged(Num(end.entriesTotal) + u" entries cannot fit in a central directory of " +
            Num(end.cdSize) + u" bytes");
  cdOffset_ = end.cdOffset;
  ReadEntries(archive, end);
}

TZipDirectory::TEndRecord TZipDirectory::FindEndRecord(TStream& archive) {
  if (archiveSize_ < kEndSize)
    throw EZipError(u"Not a ZIP archive: the file holds only " + Num(archiveSize_) + u" bytes");
  // The end record is the last thing in the file, followed only by its comment of at most
  // 65535 bytes, so the search is bounded to that tail.
  const std::size_t tailSize =
      static_cast<std::size_t>(std::min<std::uint64_t>(archiveSize_, kEndSize + kMaxCommentSize));
  const std::uint64_t tailStart = archiveSize_ - tailSize;
  std::vector<std::uint8_t> tail(tailSize);
  ReadExactAt(archive, tailStart, tail.data(), tailSize, u"its end record");

  // Prefer a record whose comment reaches exactly to the end of the file; a signature that
  // merely occurs inside a comment does not. Accept trailing bytes after the comment only
  // when no record fits exactly.
  std::size_t found = SIZE_MAX, fallback = SIZE_MAX;
  for (std::size_t i = tailSize - kEndSize + 1; i-- > 0;) {
    if (Get32(&tail[i]) != kEndSig) continue;
    const std::size_t commentEnd = i + kEndSize + Get16(&tail[i + 20]);
    if (commentEnd == tailSize) {
      found = i;
      break;
    }
    if (commentEnd < tailSize && fallback == SIZE_MAX) fallback = i;
  }
  if (found == SIZE_MAX) found = fallback;
  if (found == SIZE_MAX)
    throw EZipError(u"Not a ZIP archive, or a truncated one: no end of central directory record found");

  const std::uint8_t* p = &tail[found];
  TEndRecord end;
  end.position = tailStart + found;
  end.diskNumber = Get16(p + 4);
  end.cdDisk = Get16(p + 6);
  end.entriesOnDisk = Get16(p + 8);
  end.entriesTotal = Get16(p + 10);
  end.cdSize = Get32(p + 12);
  end.cdOffset = Get32(p + 16);

  if (end.position >= kZip64LocatorSize) {
    const std::uint64_t locatorPos = end.position - kZip64LocatorSize;
    std::uint8_t locator[kZip64LocatorSize];
    if (locatorPos >= tailStart) {
      std::copy_n(&tail[locatorPos - tailStart], kZip64LocatorSize, locator);
    } else {
      ReadExactAt(archive, locatorPos, locator, kZip64LocatorSize, u"its ZIP64 locator");
    }
    if (Get32(locator) == kZip64LocatorSig) {
      if (Get32(locator + 4) != 0 || Get32(locator + 16) > 1)
        throw EZipError(u"Spanned or split ZIP archives are not supported");
      const std::uint64_t zip64Pos = Get64(locator + 8);
      if (zip64Pos > locatorPos || locatorPos - zip64Pos < kZip64EndSize)
        Damaged(u"the ZIP64 end of central directory record lies outside the archive");
      ReadZip64EndRecord(archive, zip64Pos, end);
    }
  }
  return end;
}

void TZipDirectory::ReadZip64EndRecord(TStream& archive, std::uint64_t pos, TEndRecord& end) {
  std::uint8_t r[kZip64EndSize];
  ReadExactAt(archive, pos, r, kZip64EndSize, u"its ZIP64 end record");
  if (Get32(r) != kZip64EndSig) Damaged(u"bad ZIP64 end of central directory signature");
  end.position = pos;
  end.diskNumber = Get32(r + 16);
  end.cdDisk = Get32(r + 20);
  end.entriesOnDisk = Get64(r + 24);
  end.entriesTotal = Get64(r + 32);
  end.cdSize = Get64(r + 40);
  end.cdOffset = Get64(r + 48);
}

namespace {

// Replaces the 32-bit fields that hold their all-ones marker by the 64-bit values of the
// ZIP64 extra field, which lists only those, in this order.
void ApplyZip64Extra(TZipEntry& e, const std::uint8_t* extra, std::size_t extraLen, bool usize,
                     bool csize, bool offset) {
  std::size_t i = 0;
  while (i + 4 <= extraLen) {
    const std::uint16_t id = Get16(extra + i);
    const std::size_t len = Get16(extra + i + 2);
    i += 4;
    if (len > extraLen - i) break;
    if (id == kZip64ExtraId) {
      const std::uint8_t* q = extra + i;
      std::size_t left = len;
      auto take = [&](std::uint64_t& field) {
        if (left < 8) return false;
        field = Get64(q);
        q += 8;
        left -= 8;
        return true;
      };
      if ((!usize || take(e.UncompressedSize)) && (!csize || take(e.CompressedSize)) &&
          (!offset || take(e.LocalHeaderOffset)))
        return;
      break;
    }
    i += len;
  }
  throw EZipError(u"Damaged ZIP archive: the ZIP64 sizes of member \"" + e.Name + u"\" are missing");
}

}  // namespace

void TZipDirectory::ReadEntries(TStream& archive, const TEndRecord& end) {
  const std::size_t cdSize = static_cast<std::size_t>(end.cdSize);
  std::vector<std::uint8_t> cd(cdSize);
  ReadExactAt(archive, end.cdOffset, cd.data(), cdSize, u"its central directory");
  entries_.reserve(static_cast<std::size_t>(end.entriesTotal));

  std::size_t pos = 0;
  for (std::uint64_t n = 0; n < end.entriesTotal; ++n) {
    if (cdSize - pos < kCentralHeaderSize || Get32(&cd[pos]) != kCentralHeaderSig)
      Damaged(u"bad central directory entry " + Num(n + 1) + u" of " + Num(end.entriesTotal));
    const std::uint8_t* h = &cd[pos];
    const std::size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
    if (nameLen + extraLen + commentLen > cdSize - pos - kCentralHeaderSize)
      Damaged(u"central directory entry " + Num(n + 1) + u" runs past the directory's end");
    const std::uint8_t* name = h + kCentralHeaderSize;
    const std::uint8_t* extra = name + nameLen;

    TZipEntry e;
    e.Flags = Get16(h + 8);
    const std::string_view rawName(reinterpret_cast<const char*>(name), nameLen);
    e.Name = (e.Flags & kFlagUtf8) ? Utf8ToUString(rawName) : Cp437ToUString(rawName);
    e.Method = Get16(h + 10);
    e.DosDateTime = (std::uint32_t(Get16(h + 14)) << 16) | Get16(h + 12);
    e.Crc32 = Get32(h + 16);
    e.CompressedSize = Get32(h + 20);
    e.UncompressedSize = Get32(h + 24);
    e.LocalHeaderOffset = Get32(h + 42);
    const bool usize = e.UncompressedSize == 0xFFFFFFFF, csize = e.CompressedSize == 0xFFFFFFFF,
               offset = e.LocalHeaderOffset == 0xFFFFFFFF;
    if (usize || csize || offset) ApplyZip64Extra(e, extra, extraLen, usize, csize, offset);
    entries_.push_back(std::move(e));
    pos += kCentralHeaderSize + nameLen + extraLen + commentLen;
  }
}
