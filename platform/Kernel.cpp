#include "platform/Kernel.h"

#include <mutex>

#include "platform/KernelInternal.h"

using kernel_detail::IsDelim;
using kernel_detail::LastDelim;

namespace {
std::mutex g_tickMutex;
std::function<std::uint32_t()> g_tickSource;
}  // namespace

std::uint32_t zorvik::GetTickCount() {
  {
    std::lock_guard lock(g_tickMutex);
    if (g_tickSource) return g_tickSource();
  }
  return kernel_detail::SystemTickCount();
}

void SetTickCountSource(std::function<std::uint32_t()> source) {
  std::lock_guard lock(g_tickMutex);
  g_tickSource = std::move(source);
}

bool ForceDirectories(UStringView path) {
  if (path.empty()) return false;
  UString p(path);
  while (p.size() > 1 && IsDelim(p.back())) p.pop_back();
  if (DirectoryExists(p)) return true;
  std::size_t d = LastDelim(p);
  if (d != UString::npos && d > 0 && !ForceDirectories(p.substr(0, d))) return false;
  return kernel_detail::MakeOneDirectory(p);
}

UString ExtractFilePath(UStringView path) {
  std::size_t d = LastDelim(path);
  return d == UString::npos ? UString() : UString(path.substr(0, d + 1));
}

UString ExtractFileDir(UStringView path) {
  std::size_t d = LastDelim(path);
  if (d == UString::npos) return {};
  return UString(path.substr(0, d == 0 ? 1 : d));
}

UString ExtractFileName(UStringView path) {
  std::size_t d = LastDelim(path);
  return UString(d == UString::npos ? path : path.substr(d + 1));
}

UString ExtractFileExt(UStringView path) {
  UString name = ExtractFileName(path);
  std::size_t dot = name.rfind(u'.');
  return dot == UString::npos ? UString() : name.substr(dot);
}

UString ChangeFileExt(UStringView path, UStringView ext) {
  std::size_t d = LastDelim(path);
  std::size_t dot = path.rfind(u'.');
  if (dot == UString::npos || (d != UString::npos && dot < d)) return UString(path) + UString(ext);
  return UString(path.substr(0, dot)) + UString(ext);
}

UString IncludeTrailingPathDelimiter(UStringView path) {
  UString p(path);
  if (p.empty() || !IsDelim(p.back())) p.push_back(PathDelim);
  return p;
}

