// Streams: the abstract stream, file streams with share modes and memory streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/SysUtils.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  UString ClassName() const override { return u"TStream"; }
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Moves the position and returns the new one.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t p) { Seek(p, TSeekOrigin::soBeginning); }
  virtual std::int64_t Size();

  // Read exactly count bytes or raise EReadError "Stream read error".
  void ReadBuffer(void* buffer, std::size_t count);
  // Write all count bytes or raise EWriteError "Stream write error".
  void WriteBuffer(const void* buffer, std::size_t count);
  // Copies count bytes from source (all of it from its start when count is 0) in
  // bounded chunks. Returns the number copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// File open modes, as the run-time combines them: one access mode OR one share mode, or
// fmCreate alone (create or truncate, read and write, no sharing).
enum : std::uint32_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,
};

class TFileStream : public TStream {
 public:
  // Opens or creates fileName. Raises EFCreateError "Cannot create file "%s". %s" or
  // EFOpenError "Cannot open file "%s". %s" with the expanded name and the system's text.
  // A share mode is honoured against every other TFileStream of this process, and an
  // exclusive one also against other processes that lock the file.
  TFileStream(UStringView fileName, std::uint32_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  UString ClassName() const override { return u"TFileStream"; }
  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  const UString& FileName() const { return fileName_; }
  // Cuts or extends the file at the current position's size.
  void SetSize(std::int64_t size);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  UString fileName_;
};

class TMemoryStream : public TStream {
 public:
  UString ClassName() const override { return u"TMemoryStream"; }
  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

  void Clear() {
    data_.clear();
    pos_ = 0;
  }
  void SetSize(std::size_t size) {
    data_.resize(size);
    if (pos_ > size) pos_ = size;
  }
  // Fills the stream from a file, replacing what it held; the position becomes 0.
  void LoadFromFile(UStringView fileName, std::uint32_t mode = fmOpenRead | fmShareDenyWrite);
  void SaveToStream(TStream& dest) const;
  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  std::vector<std::uint8_t>& Bytes() { return data_; }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
};
