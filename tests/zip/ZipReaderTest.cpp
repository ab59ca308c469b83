#include <gtest/gtest.h>

#include "ZipTestFiles.h"
#include "platform/Classes.h"
#include "zip/ZipError.h"
#include "zip/ZipReader.h"

namespace {

UString Path16(const std::filesystem::path& p) { return U(p.string()); }

TBytes Extract(TZipReader& reader, const TZipSearchRec& rec) {
  TMemoryStream out;
  reader.Extract(rec, out);
  return out.Bytes();
}

struct TPackageCase {
  const char* file;
  const char* storedName;
  std::uint32_t dosDateTime;  // 0 when any date will do
};

void PrintTo(const TPackageCase& c, std::ostream* os) { *os << c.file; }

class ZipPackageTest : public testing::TestWithParam<TPackageCase> {};

// Every layout of the shared packages yields the same database, byte for byte.
TEST_P(ZipPackageTest, FindsAndExtractsTheDatabase) {
  const TPackageCase& c = GetParam();
  TFileStream archive(Path16(Fixture(std::string("packages/") + c.file)), fmOpenRead | fmShareDenyWrite);
  TZipReader reader;
  reader.Open(archive);
  TZipSearchRec rec;
  ASSERT_TRUE(reader.FindFirst(u"DB.mdb", rec));
  EXPECT_EQ(rec.Name, U(c.storedName));
  if (c.dosDateTime != 0) {
    EXPECT_EQ(rec.DosDateTime, c.dosDateTime);
  }

  TTempDir dir;
  {
    TFileStream out(Path16(dir / "db.mdb"), fmCreate);
    reader.Extract(rec, out);
  }
  EXPECT_TRUE(ReadBytes(dir / "db.mdb") == ReadBytes(Fixture("mdb/callbook-tiny.mdb")));
  reader.Close();
  EXPECT_FALSE(reader.Active());
  // The stream still belongs to the caller and stays usable.
  EXPECT_EQ(archive.Seek(0, TSeekOrigin::soBeginning), 0);
}

INSTANTIATE_TEST_SUITE_P(Packages, ZipPackageTest,
                         testing::Values(TPackageCase{"tiny.zip", "DB.mdb", 0},
                                         TPackageCase{"tiny-stored.zip", "DB.mdb", 0},
                                         TPackageCase{"tiny-folder.zip", "data/db.MDB", 0},
                                         TPackageCase{"tiny-zip64.zip", "DB.mdb", 0},
                                         TPackageCase{"tiny-stream.zip", "DB.mdb", 0x00210000}),
                         [](const auto& info) {
                           std::string n = info.param.file;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(ZipReaderTest, ArchiveWithoutTheDatabaseFindsNothing) {
  TFileStream archive(Path16(Fixture("packages/nodb.zip")), fmOpenRead | fmShareDenyWrite);
  TZipReader reader;
  reader.Open(archive);
  TZipSearchRec rec;
  EXPECT_FALSE(reader.FindFirst(u"DB.mdb", rec));
  ASSERT_EQ(reader.Entries().size(), 1u);
  EXPECT_EQ(reader.Entries()[0].Name, u"readme.txt");

  // An archive of nothing but its end record is valid and empty.
  TMemoryStream empty;
  const TBytes bytes = BuildArchive({});
  empty.WriteBuffer(bytes.data(), bytes.size());
  reader.Open(empty);
  EXPECT_TRUE(reader.Active());
  EXPECT_TRUE(reader.Entries().empty());
}

// The first match in central-directory order wins; a whole path or the part after the
// last '/' or '\' matches, ignoring ASCII case only.
TEST(ZipReaderTest, MatchingRuleTable) {
  std::vector<TTestMember> members;
  for (const char* name : {"readme.txt", "sub/xdb.mdb", "DB.mdbx", "data\\db.MDB", "DB.mdb", "dir/"})
    members.push_back({name, SampleData(10, 1), false});
  TMemoryStream archive;
  const TBytes bytes = BuildArchive(members);
  archive.WriteBuffer(bytes.data(), bytes.size());

  TZipReader reader;
  reader.Open(archive);
  struct {
    const char16_t* wanted;
    int index;  // -1: not found
  } cases[] = {
      {u"DB.mdb", 3},      {u"db.MDB", 3},       {u"data\\DB.MDB", 3}, {u"sub/xdb.mdb", 1},
      {u"XDB.MDB", 1},     {u"ub/xdb.mdb", -1},  {u"DB.md", -1},       {u"dir", -1},
      {u"README.TXT", 0},  {u"DB.mdbX", 2},
  };
  for (const auto& c : cases) {
    TZipSearchRec rec;
    const bool found = reader.FindFirst(c.wanted, rec);
    EXPECT_EQ(found, c.index >= 0) << UStringToUtf8(c.wanted);
    if (found && c.index >= 0) {
      EXPECT_EQ(rec.Index, std::size_t(c.index)) << UStringToUtf8(c.wanted);
      EXPECT_EQ(rec.Name, reader.Entries()[rec.Index].Name);
    }
  }
}

TEST(ZipReaderTest, NamesAreCp437UnlessFlaggedUtf8) {
  TMemoryStream archive;
  const TBytes bytes = BuildArchive({
      {"gr\x81\xE1" "e\x9C.txt", {}, false, 0},               // CP437: ü ß £
      {"gr\xC3\xBC\xC3\x9F" "e.txt", {}, false, 0x0800},        // UTF-8: ü ß
  });
  archive.WriteBuffer(bytes.data(), bytes.size());
  TZipReader reader;
  reader.Open(archive);
  ASSERT_EQ(reader.Entries().size(), 2u);
  EXPECT_EQ(reader.Entries()[0].Name, U("grüße£.txt"));
  EXPECT_EQ(reader.Entries()[1].Name, U("grüße.txt"));
}

// A long comment, even one holding a false end-record signature, hides nothing; the
// ZIP64 central directory fields and end records are honoured.
TEST(ZipReaderTest, CommentsAndZip64Layouts) {
  std::string comment(65535, 'c');
  comment.replace(100, 4, "PK\x05\x06");
  const TBytes data = SampleData(300000, 7);
  for (const TTestArchiveOptions& options :
       {TTestArchiveOptions{comment, false}, TTestArchiveOptions{"", true},
        TTestArchiveOptions{comment, true}}) {
    TMemoryStream archive;
    const TBytes bytes = BuildArchive({{"a.txt", SampleData(5, 2)}, {"DB.mdb", data}}, options);
    archive.WriteBuffer(bytes.data(), bytes.size());
    TZipReader reader;
    reader.Open(archive);
    TZipSearchRec rec;
    ASSERT_TRUE(reader.FindFirst(u"DB.mdb", rec));
    EXPECT_EQ(rec.Index, 1u);
    EXPECT_TRUE(Extract(reader, rec) == data) << "zip64=" << options.zip64;
  }
}

// Members much larger than the chunks, stored and deflated, come out whole; output
// starts at the destination's current position.
TEST(ZipReaderTest, LargeMembersStreamThroughChunksAtTheDestinationPosition) {
  const TBytes data = SampleData(3 * 1024 * 1024 + 17, 3);
  TTempDir dir;
  WriteBytes(dir / "big.zip", BuildArchive({{"deflated.bin", data, true}, {"stored.bin", data, false}}));
  TFileStream archive(Path16(dir / "big.zip"), fmOpenRead);
  TZipReader reader;
  reader.Open(archive);
  for (const char16_t* name : {u"deflated.bin", u"stored.bin"}) {
    TZipSearchRec rec;
    ASSERT_TRUE(reader.FindFirst(name, rec));
    TMemoryStream out;
    out.WriteBuffer("head", 4);
    reader.Extract(rec, out);
    ASSERT_EQ(out.Size(), std::int64_t(data.size() + 4));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.Bytes().begin() + 4)) << UStringToUtf8(name);
  }
}

}  // namespace
