// Kernel services on Windows.
#include <cstring>
#include <memory>
#include <vector>

#include "platform/DateUtils.h"
#include "platform/Kernel.h"
#include "platform/KernelInternal.h"
#include "platform/SysUtils.h"
#include "platform/WinText.h"

std::uint32_t kernel_detail::SystemTickCount() { return ::GetTickCount(); }

bool kernel_detail::MakeOneDirectory(const UString& p) {
  return ::CreateDirectoryW(WideText(p), nullptr) != 0 || DirectoryExists(p);
}

// Errno values reach here only from the C library (fopen and the like), which maps the
// system's codes onto them; the table maps them back.
std::uint32_t WinErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES: case EPERM: case EROFS: case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    default: return 0x20000000u | static_cast<std::uint32_t>(err);
  }
}

UString SystemMessageText(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::unique_ptr<wchar_t, decltype(&::LocalFree)> owner(buffer, &::LocalFree);
  if (n == 0 || !buffer) return {};
  UString text = FromWide(buffer, n);
  while (!text.empty() && (text.back() <= 0x20 || text.back() == u'.')) text.pop_back();
  return text;
}

UString OSErrorText(int err) {
  UString t = SysErrorMessage(static_cast<std::uint32_t>(err));
  return t.empty() ? Format(u"System error %d", {err}) : t;
}

std::string NativePath(UStringView path) { return UStringToUtf8(path); }

namespace {
DWORD Attributes(UStringView path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  return ::GetFileAttributesW(WideText(UString(path)));
}
}  // namespace

bool FileExists(UStringView path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(UStringView path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool zorvik::DeleteFile(UStringView path) {
  if (path.empty()) return false;
  UString p(path);
  if (::DeleteFileW(WideText(p))) return true;
  // A symbolic link to a folder is removed as a folder.
  DWORD a = ::GetFileAttributesW(WideText(p));
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) && (a & FILE_ATTRIBUTE_DIRECTORY))
    return ::RemoveDirectoryW(WideText(p)) != 0;
  return false;
}

UString MakeTempFile(UStringView folder, UStringView prefix) {
  UString dir = IncludeTrailingPathDelimiter(folder.empty() ? UString(u".") : UString(folder));
  // GetTempFileNameW uses at most three characters of the prefix and makes the file.
  wchar_t name[MAX_PATH + 1] = {};
  UString pre(prefix);
  if (::GetTempFileNameW(WideText(dir), WideText(pre), 0, name) == 0)
    throw EInOutError(Format(u"Cannot create a temporary file in \"%s\". %s",
                             {dir, OSErrorText(static_cast<int>(::GetLastError()))}));
  return FromWide(name);
}

UString zorvik::GetModuleFileName() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return FromWide(buf.data(), n);
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

UString ExpandFileName(UStringView path) {
  if (path.empty()) return UString(path);
  UString p(path);
  DWORD n = ::GetFullPathNameW(WideText(p), 0, nullptr, nullptr);
  if (n == 0) return p;
  std::vector<wchar_t> buf(n + 1);
  n = ::GetFullPathNameW(WideText(p), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
  return n == 0 || n >= buf.size() ? p : FromWide(buf.data(), n);
}

TDateTimeParts LocalNow() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}
