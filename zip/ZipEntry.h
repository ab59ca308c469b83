// One member of an archive as its central directory describes it.
#pragma once

#include <cstdint>

#include "platform/UStrings.h"

struct TZipEntry {
  UString Name;                      // the stored path, decoded
  std::uint32_t DosDateTime = 0;     // date in the high 16 bits, time in the low 16 bits
  std::uint16_t Flags = 0;           // general purpose bit flags
  std::uint16_t Method = 0;          // 0 stored, 8 deflated, others unsupported
  std::uint32_t Crc32 = 0;
  std::uint64_t CompressedSize = 0;
  std::uint64_t UncompressedSize = 0;
  std::uint64_t LocalHeaderOffset = 0;
};
