// Kernel services: atomic counts, the tick counter, files, temporary names, the
// executable's own path and Windows error codes for system failures.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/UStrings.h"

#if defined(_WIN32)
#include "platform/win32/KernelTypes.h"
#else
#include "platform/posix/KernelTypes.h"
#endif

// The names that the system itself also uses live in this namespace.
namespace zorvik {
// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t GetTickCount();
// Deletes a file. When that fails and path is a symbolic link to a directory, removes the
// link. Returns whether something was removed.
bool DeleteFile(UStringView path);
// Full path of the running program.
UString GetModuleFileName();
}  // namespace zorvik

// Tests replace the tick source to stage long runs and wrap-arounds; an empty function
// restores the clock.
void SetTickCountSource(std::function<std::uint32_t()> source);

// The Windows error code that corresponds to an errno value.
std::uint32_t WinErrorFromErrno(int err);
// The system's text for a native error code of this platform (an errno value on POSIX,
// a GetLastError() code on Windows).
UString OSErrorText(int err);
// The system's own message for a Windows or COM error code, without a trailing full stop
// or line break; empty when the system has none (always on POSIX).
UString SystemMessageText(std::uint32_t code);

bool FileExists(UStringView path);
bool DirectoryExists(UStringView path);
// Creates a new empty file named folder + prefix + a unique part + ".tmp" and returns its
// full name. Throws EInOutError naming the folder when no such file can be made.
UString MakeTempFile(UStringView folder, UStringView prefix);
// Creates the folder and its missing parents; true when it exists afterwards.
bool ForceDirectories(UStringView path);

// Path pieces; both delimiters are accepted when reading.
UString ExtractFilePath(UStringView path);  // with its trailing delimiter
UString ExtractFileName(UStringView path);
UString ExtractFileDir(UStringView path);   // without the trailing delimiter
UString ExtractFileExt(UStringView path);   // from the last dot of the name, dot included
UString ChangeFileExt(UStringView path, UStringView ext);
UString IncludeTrailingPathDelimiter(UStringView path);
// An absolute form of path, relative to the current folder; unchanged when empty.
UString ExpandFileName(UStringView path);

// A file path in the encoding of the file system.
std::string NativePath(UStringView path);
