// Kernel services: atomic counts, the tick counter, files, temporary names, the
// executable's own path and Windows error codes for system failures.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/UStrings.h"

// Path delimiter of this platform.
constexpr char16_t PathDelim = u'/';

// Atomic increment and decrement; both return the value they produced.
inline std::int32_t InterlockedIncrement(std::int32_t& v) {
  return std::atomic_ref<std::int32_t>(v).fetch_add(1) + 1;
}
inline std::int32_t InterlockedDecrement(std::int32_t& v) {
  return std::atomic_ref<std::int32_t>(v).fetch_sub(1) - 1;
}

// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t GetTickCount();
// Tests replace the tick source to stage long runs and wrap-arounds; an empty function
// restores the clock.
void SetTickCountSource(std::function<std::uint32_t()> source);

// The Windows error code that corresponds to an errno value.
std::uint32_t WinErrorFromErrno(int err);
// The system's message for a Windows error code (as SysErrorMessage), falling back to
// the C library's text for errno when the table has none.
UString OSErrorText(int err);

bool FileExists(UStringView path);
bool DirectoryExists(UStringView path);
// Deletes a file. When that fails and path is a symbolic link to a directory, removes the
// link. Returns whether something was removed.
bool DeleteFile(UStringView path);
// Creates a new empty file named folder + prefix + a unique part + ".tmp" and returns its
// full name. Throws EInOutError naming the folder when no such file can be made.
UString MakeTempFile(UStringView folder, UStringView prefix);
// Creates the folder and its missing parents; true when it exists afterwards.
bool ForceDirectories(UStringView path);

// Full path of the running program.
UString GetModuleFileName();

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
