// The INI settings text on arbitrary file bytes: read a key, write one, read it back from
// the saved bytes, and check that the write changed nothing but its own line (or added
// lines between two others) and left every other key's value as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SysUtils.h"
#include "tests/fuzz/FuzzText.h"
#include "ui/IniFileText.h"

namespace {

constexpr char16_t kName[] = u"fuzz.ini";

// The file's text in code units after its byte-order mark (bomBytes long): bytes for
// ANSI and UTF-8, 16-bit units for UTF-16, with an odd last byte as a unit of its own.
std::vector<std::uint32_t> Units(const std::string& bytes, std::size_t bomBytes, TIniEncoding enc) {
  std::vector<std::uint32_t> out;
  auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
  std::size_t i = bomBytes;
  if (enc == TIniEncoding::ieUtf16LE || enc == TIniEncoding::ieUtf16BE) {
    const bool le = enc == TIniEncoding::ieUtf16LE;
    for (; i + 1 < bytes.size(); i += 2) out.push_back(le ? (b(i) | b(i + 1) << 8) : (b(i) << 8 | b(i + 1)));
    if (i < bytes.size()) out.push_back(0x10000 | b(i));  // the odd byte, never a line end
  } else {
    for (; i < bytes.size(); ++i) out.push_back(b(i));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const UString section = TakeFuzzText(in, 24);
  const UString key = TakeFuzzText(in, 24);
  const UString value = TakeFuzzText(in, 64);
  const UString otherSection = TakeFuzzText(in, 24);
  const UString otherKey = TakeFuzzText(in, 24);
  const std::string old = in.ConsumeRemainingBytesAsString();

  TIniText text;
  try {
    text = TIniText(old, kName);
  } catch (const EReadError&) {
    return 0;
  }
  if (text.Bytes() != old) __builtin_trap();  // reading alone changes nothing
  const auto otherBefore = text.Find(otherSection, otherKey);
  const TIniEncoding before = text.Encoding();
  try {
    text.Set(section, key, value, kName);
  } catch (const EArgumentException&) {
    if (text.Bytes() != old) __builtin_trap();
    return 0;
  } catch (const EConvertError&) {
    if (text.Bytes() != old) __builtin_trap();
    return 0;
  }
  std::string saved = text.Bytes();

  // Read back from the saved bytes.
  TIniText again(saved, kName);
  const auto got = again.Find(section, key);
  if (!got || *got != Trim(value)) __builtin_trap();
  const auto otherAfter = again.Find(otherSection, otherKey);
  if (otherAfter != otherBefore && otherAfter != got) __builtin_trap();

  // Every other byte: an ANSI file that had to become UTF-8 gains a byte-order mark and
  // nothing else; then the old and new bytes differ in one stretch, which in the old
  // file lies within one line.
  if (before == TIniEncoding::ieAnsi && text.Encoding() == TIniEncoding::ieUtf8) {
    if (saved.rfind("\xEF\xBB\xBF", 0) != 0) __builtin_trap();
    saved.erase(0, 3);
  } else if (text.Encoding() != before) {
    __builtin_trap();
  }
  const std::size_t bom = before == TIniEncoding::ieAnsi ? 0 : before == TIniEncoding::ieUtf8 ? 3 : 2;
  if (saved.compare(0, bom, old, 0, bom) != 0) __builtin_trap();
  const auto was = Units(old, bom, before), now = Units(saved, bom, before);
  std::size_t prefix = 0;
  while (prefix < was.size() && prefix < now.size() && was[prefix] == now[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < was.size() - prefix && suffix < now.size() - prefix &&
         was[was.size() - 1 - suffix] == now[now.size() - 1 - suffix])
    ++suffix;
  for (std::size_t k = prefix; k < was.size() - suffix; ++k)
    if (was[k] == u'\r' || was[k] == u'\n') __builtin_trap();
  return 0;
}
