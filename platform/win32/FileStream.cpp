// File streams on Windows: CreateFileW with the share mode the open asks for, so that the
// system itself enforces it against every other open, in this process or another.
#include "platform/Classes.h"
#include "platform/FileStreamInternal.h"
#include "platform/Kernel.h"
#include "platform/WinText.h"

namespace {
struct HandleCloser {
  void operator()(HANDLE h) const noexcept {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;
}  // namespace

struct TFileStream::Impl {
  FileHandle handle{INVALID_HANDLE_VALUE};
  HANDLE Get() const { return handle.get(); }
};

TFileStream::TFileStream(UStringView fileName, std::uint32_t mode)
    : impl_(std::make_unique<Impl>()), fileName_(fileName) {
  const bool create = mode == fmCreate;
  if (fileName.empty()) RaiseFileOpenError(create, fileName, ERROR_FILE_NOT_FOUND);
  DWORD access = 0, share = 0, disposition = OPEN_EXISTING;
  if (create) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else {
    switch (mode & 0x3) {
      case fmOpenWrite: access = GENERIC_WRITE; break;
      case fmOpenReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
      default: access = GENERIC_READ; break;
    }
    switch (mode & 0xF0) {
      case fmShareDenyWrite: share = FILE_SHARE_READ; break;
      case fmShareDenyRead: share = FILE_SHARE_WRITE; break;
      case fmShareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
      default: share = 0; break;  // exclusive, and the compatibility mode as Windows maps it
    }
  }
  UString name(fileName);
  HANDLE h = ::CreateFileW(WideText(name), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) RaiseFileOpenError(create, fileName, ::GetLastError());
  impl_->handle.reset(h);
}

TFileStream::~TFileStream() = default;

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 0x40000000u)), n = 0;
  if (!::ReadFile(impl_->Get(), buffer, chunk, &n, nullptr)) return 0;
  return n;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count, 0x40000000u)), n = 0;
  if (!::WriteFile(impl_->Get(), buffer, chunk, &n, nullptr)) return 0;
  return n;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                 : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                    : FILE_END;
  LARGE_INTEGER to{}, now{};
  to.QuadPart = offset;
  if (!::SetFilePointerEx(impl_->Get(), to, &now, method))
    throw EStreamError(u"Stream seek error: " + OSErrorText(static_cast<int>(::GetLastError())));
  return now.QuadPart;
}

void TFileStream::SetSize(std::int64_t size) {
  std::int64_t pos = Position();
  SetPosition(size);
  BOOL ok = ::SetEndOfFile(impl_->Get());
  DWORD err = ::GetLastError();
  SetPosition(std::min(pos, size));
  if (!ok) throw EStreamError(u"Stream size error: " + OSErrorText(static_cast<int>(err)));
}
