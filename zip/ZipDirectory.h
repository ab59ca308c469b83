// The table of contents of an archive: its end records and its central directory.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Classes.h"
#include "zip/ZipEntry.h"

class TZipDirectory {
 public:
  // The largest central directory read, in bytes; it bounds memory for hostile archives.
  static constexpr std::uint64_t kMaxCentralDirectorySize = 64u << 20;

  // Reads the end of central directory record (also behind an archive comment), the
  // ZIP64 end records when a locator is present, and every central directory entry.
  // Raises EZipError with the reason when the archive is damaged or not a ZIP archive.
  // The stream is only read, and its position is left wherever the last read ended.
  explicit TZipDirectory(TStream& archive);

  const std::vector<TZipEntry>& Entries() const { return entries_; }
  // Offset of the central directory; member data must end before it.
  std::uint64_t CentralDirectoryOffset() const { return cdOffset_; }
  std::uint64_t ArchiveSize() const { return archiveSize_; }

 private:
  struct TEndRecord;
  TEndRecord FindEndRecord(TStream& archive);
  void ReadZip64EndRecord(TStream& archive, std::uint64_t endPos, TEndRecord& end);
  void ReadEntries(TStream& archive, const TEndRecord& end);

  std::vector<TZipEntry> entries_;
  std::uint64_t cdOffset_ = 0;
  std::uint64_t archiveSize_ = 0;
};
