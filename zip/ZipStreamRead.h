// Exact reads from the archive stream that report a short archive as a ZIP error.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Classes.h"
#include "zip/ZipError.h"

namespace zipfmt {

// Reads count bytes at the current position; what names the record being read.
inline void ReadExact(TStream& s, void* buffer, std::size_t count, UStringView what) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    const std::size_t n = s.Read(p, count);
    if (n == 0) throw EZipError(u"Damaged ZIP archive: the archive ends inside " + UString(what));
    p += n;
    count -= n;
  }
}

inline void ReadExactAt(TStream& s, std::uint64_t offset, void* buffer, std::size_t count,
                        UStringView what) {
  s.Seek(static_cast<std::int64_t>(offset), TSeekOrigin::soBeginning);
  ReadExact(s, buffer, count, what);
}

}  // namespace zipfmt
