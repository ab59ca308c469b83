#include "platform/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <random>

#include "platform/Kernel.h"
#include "platform/SysUtils.h"

namespace {

[[noreturn]] void RaiseCreateError(UStringView path, int err) {
  throw EFCreateError(
      Format(u"Cannot create file \"%s\". %s", {ExpandFileName(path), OSErrorText(err)}));
}

// The file that a save must replace: the target of a symbolic link, else path itself.
std::string ResolvedTarget(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : path;
}

class TTempFile {
 public:
  // Creates a new file next to target with the given rights (the umask applies).
  TTempFile(const std::string& target, mode_t mode) {
    std::size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = dir + "." + base + "." + std::to_string(random() & 0xFFFFFF) + ".tmp";
      fd_ = ::open(name_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) error_ = errno;
  }
  ~TTempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (error_ == 0 && !committed_) ::unlink(name_.c_str());
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  int Error() const { return error_; }
  int Fd() const { return fd_; }
  const std::string& Name() const { return name_; }
  // Closes the file and reports the first deferred write error.
  int Close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : errno;
  }
  void Commit() { committed_ = true; }

 private:
  std::string name_;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
};

}  // namespace

void ReplaceFileContents(UStringView path, std::string_view data) {
  const std::string target = ResolvedTarget(NativePath(path));
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;

  // An existing file's content stays private until its rights are copied over.
  TTempFile temp(target, exists ? 0600 : 0666);
  if (temp.Error() != 0) RaiseCreateError(path, temp.Error());
  while (!data.empty()) {
    ssize_t n = ::write(temp.Fd(), data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) RaiseCreateError(path, n < 0 ? errno : ENOSPC);
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  if (exists) {
    // Owner first: a change of owner may clear set-id bits that the mode then restores.
    // Only a privileged process may give a file away, so a refusal is no error.
    (void)!::fchown(temp.Fd(), old.st_uid, old.st_gid);
    if (::fchmod(temp.Fd(), old.st_mode & 07777) != 0) RaiseCreateError(path, errno);
  }
  if (::fsync(temp.Fd()) != 0) RaiseCreateError(path, errno);
  if (int err = temp.Close(); err != 0) RaiseCreateError(path, err);
  if (::rename(temp.Name().c_str(), target.c_str()) != 0) RaiseCreateError(path, errno);
  temp.Commit();
  // Make the rename itself durable; the save has succeeded whatever this answers.
  std::size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
  if (int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
    (void)::fsync(fd);
    ::close(fd);
  }
}


