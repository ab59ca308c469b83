#include "Plugins/UpdZorvik/uUpdZorvikSignature.h"

#include <array>
#include <vector>

#include "platform/UStrings.h"

namespace {

constexpr std::array<std::uint8_t, 4> kSignatures[] = {{'P', 'K', 3, 4}, {'P', 'K', 5, 6}, {'P', 'K', 7, 8}};

bool StartsWithSignature(const std::uint8_t* p, std::size_t n, std::size_t step, std::size_t lowByte) {
  // step is the width of one decoded character; lowByte where its value sits within it.
  if (n < 4 * step) return false;
  for (const auto& sig : kSignatures) {
    bool match = true;
    for (std::size_t i = 0; i < 4 && match; ++i) {
      for (std::size_t b = 0; b < step; ++b) {
        std::uint8_t want = b == lowByte ? sig[i] : 0;
        if (p[i * step + b] != want) match = false;
      }
    }
    if (match) return true;
  }
  return false;
}

// How many leading bytes the signature test needs, given the first three.
std::size_t BytesNeeded(const std::uint8_t* p, std::size_t n) {
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return SIZE_MAX;
  return 10;
}

}  // namespace

bool PassesZipSignatureTest(const std::uint8_t* bytes, std::size_t size) {
  // The decoded text is split into lines and joined again; none of the signature
  // characters is a line break or NUL, so the joined text starts with a signature exactly
  // when the decoded text does.
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    std::string_view rest(reinterpret_cast<const char*>(bytes + 3), size - 3);
    return IsValidUtf8(rest) && StartsWithSignature(bytes + 3, size - 3, 1, 0);
  }
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return StartsWithSignature(bytes + 2, size - 2, 2, 0);
  if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return StartsWithSignature(bytes + 2, size - 2, 2, 1);
  // The ANSI code page maps these bytes to the same characters.
  return StartsWithSignature(bytes, size, 1, 0);
}

bool LocalPackagePassesSignatureTest(TStream& probe) {
  std::vector<std::uint8_t> head(10);
  head.resize(probe.Read(head.data(), head.size()));
  if (BytesNeeded(head.data(), head.size()) > head.size()) {
    std::int64_t size = probe.Size();
    head.resize(static_cast<std::size_t>(size));
    probe.SetPosition(0);
    probe.ReadBuffer(head.data(), head.size());
  }
  return PassesZipSignatureTest(head.data(), head.size());
}
