// Reads members out of an existing ZIP archive, straight from a seekable stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Classes.h"
#include "zip/ZipEntry.h"

class TZipDirectory;

// What a successful search found.
struct TZipSearchRec {
  UString Name;                   // the member's stored path
  std::uint32_t DosDateTime = 0;  // date in the high 16 bits, time in the low 16 bits
  std::size_t Index = 0;          // position in central-directory order
};

// The reader never writes to the archive, creates no directories and knows no
// passwords. A member whose data fails its CRC-32 or size check is an error, never a
// result. The caller keeps owning the archive stream: the reader neither closes nor
// frees it, and the stream must outlive the reader's open state.
class TZipReader {
 public:
  TZipReader();
  ~TZipReader();
  TZipReader(const TZipReader&) = delete;
  TZipReader& operator=(const TZipReader&) = delete;

  // Reads the archive's directory. Raises EZipError with the reason when the archive is
  // damaged or not a ZIP archive; the reader then stays closed. An open reader is
  // closed first.
  void Open(TStream& archive);
  // Forgets the archive; the stream is left alone. Closing a closed reader does nothing.
  void Close() noexcept;
  bool Active() const { return directory_ != nullptr; }

  // The members in central-directory order; empty when closed.
  const std::vector<TZipEntry>& Entries() const;

  // Finds the first member, in central-directory order, whose whole stored path or whose
  // file-name part (after the last '/' or '\') equals name, ignoring the case of ASCII
  // letters. Returns false when there is none or the reader is closed.
  bool FindFirst(UStringView name, TZipSearchRec& found) const;

  // Writes the member's uncompressed data into dest at dest's current position, in
  // bounded chunks. Raises EZipError naming the member when it is encrypted, uses a
  // method other than stored or deflated, its data is damaged or lies outside the
  // archive, or its CRC-32 or size differ from the central directory. Output stops
  // before it would pass the declared size. Errors of dest pass through.
  void Extract(const TZipSearchRec& member, TStream& dest);
  void Extract(std::size_t index, TStream& dest);

 private:
  void CopyStored(const TZipEntry& e, std::uint64_t dataOffset, TStream& dest);
  void Inflate(const TZipEntry& e, std::uint64_t dataOffset, TStream& dest);

  TStream* archive_ = nullptr;
  std::unique_ptr<TZipDirectory> directory_;
  std::vector<std::uint8_t> inBuf_, outBuf_;
};
