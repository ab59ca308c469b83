// Kernel services on POSIX.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <cstring>
#include <mutex>
#include <random>

#include "platform/DateUtils.h"
#include "platform/Kernel.h"
#include "platform/KernelInternal.h"
#include "platform/SysUtils.h"

using kernel_detail::IsDelim;

std::uint32_t kernel_detail::SystemTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  std::uint64_t ms = std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

bool kernel_detail::MakeOneDirectory(const UString& p) {
  return ::mkdir(NativePath(p).c_str(), 0777) == 0 || DirectoryExists(p);
}

UString SystemMessageText(std::uint32_t) { return {}; }

std::uint32_t WinErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EROFS: case EISDIR: return 5;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EBUSY: case ETXTBSY: return 32;
    case EEXIST: return 80;
    case EINVAL: return 87;
    case ENOSPC: case EDQUOT: return 112;
    case ENAMETOOLONG: return 206;
    case ENOTEMPTY: return 145;
    default: return 0x20000000u | static_cast<std::uint32_t>(err);
  }
}

UString OSErrorText(int err) {
  UString t = SysErrorMessage(WinErrorFromErrno(err));
  if (!t.empty()) return t;
  char buf[256];
  const char* s = strerror_r(err, buf, sizeof buf);
  return Utf8ToUString(s ? s : "");
}

std::string NativePath(UStringView path) { return UStringToUtf8(path); }

bool FileExists(UStringView path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(UStringView path) {
  if (path.empty()) return false;
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool zorvik::DeleteFile(UStringView path) {
  std::string p = NativePath(path);
  if (p.empty()) return false;
  struct stat lst {};
  if (::lstat(p.c_str(), &lst) == 0 && !S_ISLNK(lst.st_mode) && S_ISDIR(lst.st_mode)) return false;
  if (::unlink(p.c_str()) == 0) return true;
  struct stat st {};
  if (::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(p.c_str(), &st) == 0 &&
      S_ISDIR(st.st_mode))
    return ::unlink(p.c_str()) == 0 || ::rmdir(p.c_str()) == 0;
  return false;
}

UString MakeTempFile(UStringView folder, UStringView prefix) {
  UString dir = folder.empty() ? UString(u".") : UString(folder);
  dir = IncludeTrailingPathDelimiter(dir);
  static std::mt19937 rng{std::random_device{}()};
  static std::mutex rngMutex;
  int lastErr = 0;
  for (int attempt = 0; attempt < 200; ++attempt) {
    std::uint32_t n;
    {
      std::lock_guard lock(rngMutex);
      n = rng() & 0xFFFFFu;
    }
    UString name = dir + UString(prefix) + IntToHex(n, 5) + u".tmp";
    int fd = ::open(NativePath(name).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    lastErr = errno;
    if (lastErr != EEXIST) break;
  }
  throw EInOutError(Format(u"Cannot create a temporary file in \"%s\". %s", {dir, OSErrorText(lastErr)}));
}

UString zorvik::GetModuleFileName() {
  char buf[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return {};
  return Utf8ToUString(std::string_view(buf, static_cast<std::size_t>(n)));
}

UString ExpandFileName(UStringView path) {
  if (path.empty() || IsDelim(path.front())) return UString(path);
  char buf[PATH_MAX + 1];
  if (!::getcwd(buf, sizeof buf)) return UString(path);
  return IncludeTrailingPathDelimiter(Utf8ToUString(buf)) + UString(path);
}

TDateTimeParts LocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
          static_cast<int>(ts.tv_nsec / 1000000)};
}
