// Record signatures, fixed record sizes and little-endian field access of the ZIP format.
#pragma once

#include <cstdint>
#include <cstring>

namespace zipfmt {

constexpr std::uint32_t kLocalHeaderSig = 0x04034B50;
constexpr std::uint32_t kCentralHeaderSig = 0x02014B50;
constexpr std::uint32_t kEndSig = 0x06054B50;
constexpr std::uint32_t kZip64EndSig = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064B50;

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxCommentSize = 0xFFFF;

constexpr std::uint16_t kZip64ExtraId = 0x0001;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagUtf8 = 0x0800;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

inline std::uint16_t Get16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) {
  return std::uint64_t(Get32(p)) | (std::uint64_t(Get32(p + 4)) << 32);
}

}  // namespace zipfmt
