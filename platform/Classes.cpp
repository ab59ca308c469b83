#include "platform/Classes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

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

// ---- share modes ----

namespace {

struct OpenEntry {
  bool read, write;        // access this open holds
  bool shareRead, shareWrite;  // access it lets others have
};

std::mutex g_shareMutex;
std::multimap<std::pair<dev_t, ino_t>, const void*> g_opens;
std::map<const void*, OpenEntry> g_entries;

OpenEntry EntryFor(std::uint32_t mode) {
  OpenEntry e{};
  if (mode == fmCreate) {
    e.read = e.write = true;
    return e;
  }
  std::uint32_t access = mode & 0x3, share = mode & 0xF0;
  e.read = access == fmOpenRead || access == fmOpenReadWrite;
  e.write = access == fmOpenWrite || access == fmOpenReadWrite;
  e.shareRead = share == fmShareDenyWrite || share == fmShareDenyNone;
  e.shareWrite = share == fmShareDenyRead || share == fmShareDenyNone;
  return e;
}

bool Compatible(const OpenEntry& a, const OpenEntry& b) {
  return (!a.read || b.shareRead) && (!a.write || b.shareWrite) && (!b.read || a.shareRead) &&
         (!b.write || a.shareWrite);
}

[[noreturn]] void RaiseOpenError(bool create, UStringView name, std::uint32_t winError) {
  UString text = SysErrorMessage(winError);
  UString msg = Format(create ? u"Cannot create file \"%s\". %s" : u"Cannot open file \"%s\". %s",
                       {ExpandFileName(name), text});
  if (create) throw EFCreateError(msg);
  throw EFOpenError(msg);
}

}  // namespace

struct TFileStream::Impl {
  int fd = -1;
  std::pair<dev_t, ino_t> key{};
  bool registered = false;

  ~Impl() {
    if (registered) {
      std::lock_guard lock(g_shareMutex);
      auto range = g_opens.equal_range(key);
      for (auto it = range.first; it != range.second; ++it)
        if (it->second == this) {
          g_opens.erase(it);
          break;
        }
      g_entries.erase(this);
    }
    if (fd >= 0) ::close(fd);
  }
};

TFileStream::TFileStream(UStringView fileName, std::uint32_t mode)
    : impl_(std::make_unique<Impl>()), fileName_(fileName) {
  const bool create = mode == fmCreate;
  std::string path = NativePath(fileName);
  if (path.empty()) RaiseOpenError(create, fileName, 2);
  OpenEntry entry = EntryFor(mode);
  int flags = O_CLOEXEC;
  if (entry.read && entry.write)
    flags |= O_RDWR;
  else if (entry.write)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  if (create) flags |= O_CREAT;
  // A file being created is truncated only after the share check has passed.
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) RaiseOpenError(create, fileName, WinErrorFromErrno(errno));
  impl_->fd = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0) RaiseOpenError(create, fileName, WinErrorFromErrno(errno));
  if (S_ISDIR(st.st_mode)) RaiseOpenError(create, fileName, 5);
  impl_->key = {st.st_dev, st.st_ino};
  {
    std::lock_guard lock(g_shareMutex);
    auto range = g_opens.equal_range(impl_->key);
    for (auto it = range.first; it != range.second; ++it)
      if (!Compatible(g_entries.at(it->second), entry)) RaiseOpenError(create, fileName, 32);
    g_opens.emplace(impl_->key, impl_.get());
    g_entries.emplace(impl_.get(), entry);
    impl_->registered = true;
  }
  bool exclusive = !entry.shareRead && !entry.shareWrite;
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
    RaiseOpenError(create, fileName, errno == EWOULDBLOCK ? 32 : WinErrorFromErrno(errno));
  if (create && ::ftruncate(fd, 0) != 0) RaiseOpenError(create, fileName, WinErrorFromErrno(errno));
}

TFileStream::~TFileStream() = default;

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  for (;;) {
    ssize_t n = ::read(impl_->fd, buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  for (;;) {
    ssize_t n = ::write(impl_->fd, buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
               : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                  : SEEK_END;
  off_t r = ::lseek(impl_->fd, static_cast<off_t>(offset), whence);
  if (r < 0) throw EStreamError(u"Stream seek error: " + OSErrorText(errno));
  return r;
}

void TFileStream::SetSize(std::int64_t size) {
  if (::ftruncate(impl_->fd, static_cast<off_t>(size)) != 0)
    throw EStreamError(u"Stream size error: " + OSErrorText(errno));
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
