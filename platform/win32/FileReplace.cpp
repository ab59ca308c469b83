// Replacing a file safely on Windows: the new content is written and flushed to a
// temporary file in the same folder, which then takes the old file's place in one step.
#include "platform/FileReplace.h"

#include <memory>

#include "platform/Kernel.h"
#include "platform/SysUtils.h"
#include "platform/WinText.h"

namespace {

[[noreturn]] void RaiseCreateError(UStringView path, DWORD err) {
  throw EFCreateError(Format(u"Cannot create file \"%s\". %s",
                             {ExpandFileName(path), OSErrorText(static_cast<int>(err))}));
}

// The file that a save must replace: the target of a symbolic link, else path itself.
UString ResolvedTarget(const UString& path) {
  HANDLE h = ::CreateFileW(WideText(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return path;
  wchar_t buf[32768];
  DWORD n = ::GetFinalPathNameByHandleW(h, buf, 32768, FILE_NAME_NORMALIZED);
  ::CloseHandle(h);
  if (n == 0 || n >= 32768) return path;
  UString target = FromWide(buf, n);
  // The \\?\ prefix of the answer is kept out of names shown to the user.
  if (target.rfind(u"\\\\?\\UNC\\", 0) == 0) return u"\\\\" + target.substr(8);
  if (target.rfind(u"\\\\?\\", 0) == 0) return target.substr(4);
  return target;
}

class TTempFile {
 public:
  explicit TTempFile(const UString& target) {
    UString dir = ExtractFilePath(target);
    wchar_t name[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(WideText(dir.empty() ? UString(u".") : dir), L"~Rp", 0, name) == 0) {
      error_ = ::GetLastError();
      return;
    }
    name_ = FromWide(name);
    handle_ = ::CreateFileW(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) error_ = ::GetLastError();
  }
  ~TTempFile() {
    Close();
    if (!name_.empty() && !committed_) ::DeleteFileW(WideText(name_));
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  DWORD Error() const { return error_; }
  HANDLE Handle() const { return handle_; }
  const UString& Name() const { return name_; }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  void Commit() { committed_ = true; }

 private:
  UString name_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD error_ = 0;
  bool committed_ = false;
};

}  // namespace

void ReplaceFileContents(UStringView path, std::string_view data) {
  const UString target = ResolvedTarget(UString(path));
  const bool exists = FileExists(target);

  TTempFile temp(target);
  if (temp.Error() != 0) RaiseCreateError(path, temp.Error());
  while (!data.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30)), n = 0;
    if (!::WriteFile(temp.Handle(), data.data(), chunk, &n, nullptr)) RaiseCreateError(path, ::GetLastError());
    if (n == 0) RaiseCreateError(path, ERROR_DISK_FULL);
    data.remove_prefix(n);
  }
  if (!::FlushFileBuffers(temp.Handle())) RaiseCreateError(path, ::GetLastError());
  temp.Close();
  // ReplaceFileW keeps the old file's attributes, security and streams; a new file is
  // simply moved into place.
  BOOL moved = exists ? ::ReplaceFileW(WideText(target), WideText(temp.Name()), nullptr,
                                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                      : ::MoveFileExW(WideText(temp.Name()), WideText(target), MOVEFILE_WRITE_THROUGH);
  if (!moved) RaiseCreateError(path, ::GetLastError());
  temp.Commit();
}
