#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ZipTestFiles.h"
#include "platform/Classes.h"
#include "zip/ZipError.h"
#include "zip/ZipReader.h"

namespace {

UString Path16(const std::filesystem::path& p) { return U(p.string()); }

std::uint32_t Get32(const TBytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
void Set16(TBytes& b, std::size_t at, std::uint16_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
void Set32(TBytes& b, std::size_t at, std::uint32_t v) {
  Set16(b, at, std::uint16_t(v));
  Set16(b, at + 2, std::uint16_t(v >> 16));
}

// A one-member package and the places of its records.
struct TPackage {
  TBytes bytes;
  std::size_t cd = 0;    // central directory header of DB.mdb
  std::size_t end = 0;   // end of central directory record
  std::size_t data = 0;  // first byte of the member's data
  std::uint32_t compressed = 0, uncompressed = 0;

  explicit TPackage(const std::string& fixture) : bytes(ReadBytes(Fixture("packages/" + fixture))) {
    auto last = [&](std::uint32_t sig) {
      for (std::size_t i = bytes.size() - 4; i-- > 0;)
        if (Get32(bytes, i) == sig) return i;
      throw std::runtime_error("record not found");
    };
    cd = last(0x02014B50);
    end = last(0x06054B50);
    data = 30 + (bytes[26] | bytes[27] << 8) + (bytes[28] | bytes[29] << 8);
    compressed = Get32(bytes, cd + 20);
    uncompressed = Get32(bytes, cd + 24);
  }
};

struct TDamageCase {
  const char* name;
  const char* fixture;
  std::function<void(TPackage&)> damage;
  bool failsToOpen;          // else the extraction of DB.mdb fails
  const char* messagePart;   // the message holds this text
};

void PrintTo(const TDamageCase& c, std::ostream* os) { *os << c.name; }

class ZipDamageTest : public testing::TestWithParam<TDamageCase> {};

TEST_P(ZipDamageTest, DamagedCopyFailsWithAClearError) {
  const TDamageCase& c = GetParam();
  TPackage package(c.fixture);
  c.damage(package);
  TTempDir dir;
  WriteBytes(dir / "damaged.zip", package.bytes);
  TFileStream archive(Path16(dir / "damaged.zip"), fmOpenRead);
  TZipReader reader;
  UString message;
  TMemoryStream out;
  try {
    reader.Open(archive);
    ASSERT_FALSE(c.failsToOpen) << "the archive opened";
    TZipSearchRec rec;
    ASSERT_TRUE(reader.FindFirst(u"DB.mdb", rec));
    reader.Extract(rec, out);
    FAIL() << "the member was extracted";
  } catch (const EZipError& e) {
    message = e.Message;
  }
  EXPECT_EQ(reader.Active(), !c.failsToOpen);
  EXPECT_NE(message.find(U(c.messagePart)), UString::npos) << UStringToUtf8(message);
  if (!c.failsToOpen) {
    EXPECT_NE(message.find(u"\"DB.mdb\""), UString::npos) << UStringToUtf8(message);
    // Nothing past the declared size was ever written.
    EXPECT_LE(out.Size(), std::int64_t(package.uncompressed));
  }
}

const TDamageCase kCases[] = {
    {"EmptyFile", "tiny.zip", [](TPackage& p) { p.bytes.clear(); }, true, "Not a ZIP archive"},
    {"NotAZipFile", "tiny.zip", [](TPackage& p) { p.bytes = ReadBytes(Fixture("mdb/callbook-tiny.mdb")); },
     true, "no end of central directory"},
    {"TruncatedArchive", "tiny.zip", [](TPackage& p) { p.bytes.resize(p.bytes.size() / 2); }, true,
     "no end of central directory"},
    {"CentralDirectoryPastTheEnd", "tiny.zip", [](TPackage& p) { Set32(p.bytes, p.end + 16, 0x7FFFFF00); },
     true, "outside the archive"},
    {"EntryCountTooLarge", "tiny.zip",
     [](TPackage& p) {
       Set16(p.bytes, p.end + 8, 60000);
       Set16(p.bytes, p.end + 10, 60000);
     },
     true, "cannot fit"},
    {"BadCentralSignature", "tiny.zip", [](TPackage& p) { p.bytes[p.cd + 1] = 'X'; }, true,
     "bad central directory entry 1"},
    {"SpannedArchive", "tiny.zip", [](TPackage& p) { Set16(p.bytes, p.end + 4, 1); }, true, "Spanned"},
    {"FlippedStoredByte", "tiny-stored.zip", [](TPackage& p) { p.bytes[p.data + 5000] ^= 0x01; }, false,
     "failed its CRC check"},
    {"FlippedDeflatedByte", "tiny.zip", [](TPackage& p) { p.bytes[p.data + p.compressed / 2] ^= 0x40; },
     false, "DB.mdb"},
    {"EncryptedFlag", "tiny.zip", [](TPackage& p) { p.bytes[p.cd + 8] |= 1; }, false, "encrypted"},
    {"UnknownMethod", "tiny.zip", [](TPackage& p) { Set16(p.bytes, p.cd + 10, 12); }, false,
     "compression method 12"},
    {"DataExceedsDeclaredSize", "tiny.zip",
     [](TPackage& p) {
       p.uncompressed -= 1000;
       Set32(p.bytes, p.cd + 24, p.uncompressed);
     },
     false,
     "exceeds the declared size"},
    {"DataShorterThanDeclared", "tiny-stored.zip",
     [](TPackage& p) { Set32(p.bytes, p.cd + 24, p.uncompressed + 1); }, false, "declares"},
    {"CompressedDataCutShort", "tiny.zip", [](TPackage& p) { Set32(p.bytes, p.cd + 20, p.compressed / 2); },
     false, "ends early"},
    {"CompressedSizePastTheDirectory", "tiny.zip",
     [](TPackage& p) { Set32(p.bytes, p.cd + 20, p.compressed + 1000); }, false, "outside the archive"},
    {"LocalHeaderOffsetPastTheDirectory", "tiny.zip", [](TPackage& p) { Set32(p.bytes, p.cd + 42, 0x10000000); },
     false, "outside the archive"},
    {"BadLocalSignature", "tiny.zip", [](TPackage& p) { p.bytes[2] = 9; }, false, "local header signature"},
};

INSTANTIATE_TEST_SUITE_P(Damage, ZipDamageTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The local header may disagree with the central directory, as streamed members and
// some writers leave it; the central directory's sizes, CRC and method count.
TEST(ZipLocalHeaderTest, CentralDirectoryOverridesTheLocalHeader) {
  TPackage p("tiny.zip");
  Set32(p.bytes, 14, 0);     // CRC
  Set32(p.bytes, 18, 1);     // compressed size
  Set32(p.bytes, 22, 2);     // uncompressed size
  Set16(p.bytes, 8, 12);     // method
  TMemoryStream archive;
  archive.WriteBuffer(p.bytes.data(), p.bytes.size());
  TZipReader reader;
  reader.Open(archive);
  TZipSearchRec rec;
  ASSERT_TRUE(reader.FindFirst(u"DB.mdb", rec));
  TMemoryStream out;
  reader.Extract(rec, out);
  EXPECT_TRUE(out.Bytes() == ReadBytes(Fixture("mdb/callbook-tiny.mdb")));
}

}  // namespace
