#include "platform/Classes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/FileStreamInternal.h"
#include "platform/Kernel.h"

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  std::int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    std::size_t n = Read(p, count);
    if (n == 0) throw EReadError(u"Stream read error");
    p += n, count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  auto* p = static_cast<const std::uint8_t*>(buffer);
  while (count > 0) {
    std::size_t n = Write(p, count);
    if (n == 0) throw EWriteError(u"Stream write error");
    p += n, count -= n;
  }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr std::size_t kChunk = 64 * 1024;
  std::vector<std::uint8_t> buf(kChunk);
  std::int64_t left = count;
  while (left > 0) {
    std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, kChunk));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

void RaiseFileOpenError(bool create, UStringView name, std::uint32_t winError) {
  UString text = SysErrorMessage(winError);
  UString msg = Format(create ? u"Cannot create file \"%s\". %s" : u"Cannot open file \"%s\". %s",
                       {ExpandFileName(name), text});
  if (create) throw EFCreateError(msg);
  throw EFOpenError(msg);
}

// ---- memory stream ----

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (pos_ >= data_.size()) return 0;
  std::size_t n = std::min(count, data_.size() - pos_);
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (pos_ + count > data_.size()) data_.resize(pos_ + count);
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(pos_)
                                                         : static_cast<std::int64_t>(data_.size());
  std::int64_t p = base + offset;
  if (p < 0) p = 0;
  pos_ = static_cast<std::size_t>(p);
  return p;
}

void TMemoryStream::LoadFromFile(UStringView fileName, std::uint32_t mode) {
  TFileStream f(fileName, mode);
  std::int64_t size = f.Size();
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  f.ReadBuffer(data.data(), data.size());
  data_ = std::move(data);
  pos_ = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) const { dest.WriteBuffer(data_.data(), data_.size()); }
