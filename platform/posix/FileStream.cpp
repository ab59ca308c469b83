// File streams on POSIX. Share modes are kept in a table of this process's open files;
// flock makes an exclusive open visible to other processes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "platform/Classes.h"
#include "platform/FileStreamInternal.h"
#include "platform/Kernel.h"

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
  if (path.empty()) RaiseFileOpenError(create, fileName, 2);
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
  if (fd < 0) RaiseFileOpenError(create, fileName, WinErrorFromErrno(errno));
  impl_->fd = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0) RaiseFileOpenError(create, fileName, WinErrorFromErrno(errno));
  if (S_ISDIR(st.st_mode)) RaiseFileOpenError(create, fileName, 5);
  impl_->key = {st.st_dev, st.st_ino};
  {
    std::lock_guard lock(g_shareMutex);
    auto range = g_opens.equal_range(impl_->key);
    for (auto it = range.first; it != range.second; ++it)
      if (!Compatible(g_entries.at(it->second), entry)) RaiseFileOpenError(create, fileName, 32);
    g_opens.emplace(impl_->key, impl_.get());
    g_entries.emplace(impl_.get(), entry);
    impl_->registered = true;
  }
  bool exclusive = !entry.shareRead && !entry.shareWrite;
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
    RaiseFileOpenError(create, fileName, errno == EWOULDBLOCK ? 32 : WinErrorFromErrno(errno));
  if (create && ::ftruncate(fd, 0) != 0) RaiseFileOpenError(create, fileName, WinErrorFromErrno(errno));
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

