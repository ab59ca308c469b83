// What every platform checks before its engine opens a file: the connection string, and
// files that are missing, foreign or cut short.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "jet/EDatabaseError.h"
#include "jet/JetConnection.h"
#include "jet/JetConnectionString.h"
#include "jet/JetQuery.h"
#include "tests/jet/JetTestSupport.h"

namespace {

struct TParseCase {
  const char* text;
  const char* source;  // expected Data Source; null when parsing must fail
};

class JetConnectionStringTest : public testing::TestWithParam<TParseCase> {};

TEST_P(JetConnectionStringTest, ReadsDataSourceOrRejects) {
  const TParseCase& c = GetParam();
  if (!c.source) {
    EXPECT_THROW(TJetConnectionString{U(c.text)}, EDatabaseError) << c.text;
    return;
  }
  const TJetConnectionString parsed{U(c.text)};
  const UString* source = parsed.Find(u"data source");
  ASSERT_TRUE(source) << c.text;
  EXPECT_EQ(*source, U(c.source)) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, JetConnectionStringTest,
    testing::Values(
        TParseCase{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/db.mdb;", "/tmp/db.mdb"},
        TParseCase{"  DATA SOURCE =  /tmp/x y.mdb  ", "/tmp/x y.mdb"},
        TParseCase{"Data Source=\"/tmp/a;b.mdb\";Provider=x", "/tmp/a;b.mdb"},
        TParseCase{"Data Source='/tmp/it''s.mdb'", "/tmp/it's.mdb"},
        TParseCase{";;Data Source=/a=b.mdb;;", "/a=b.mdb"},
        TParseCase{"Data Source=/first;Data Source=/second", "/second"},
        TParseCase{"Data Source=C:\\Temp\\~Db1.tmp;", "C:\\Temp\\~Db1.tmp"},
        // An unquoted semicolon ends the value; what follows is not a key=value pair.
        TParseCase{"Data Source=/tmp/a;b.mdb;", nullptr},
        TParseCase{"Data Source=\"/tmp/open", nullptr},
        TParseCase{"Data Source=\"/tmp/x\" tail;", nullptr},
        TParseCase{"=/tmp/x.mdb", nullptr}));

// The values the Windows side writes into the provider's connection string read back as
// they were, whatever they hold.
TEST(JetConnectionValueTest, QuotedValuesReadBackWhole) {
  for (const char16_t* value : {u"C:\\Temp\\~Db1.tmp", u"/tmp/a;b.mdb", u" lead and trail ",
                                u"it's \"quoted\"", u"a=b", u"\"", u"'"}) {
    const UString quoted = QuoteConnectionValue(value);
    const TJetConnectionString parsed(u"Provider=x;Data Source=" + quoted + u";");
    ASSERT_TRUE(parsed.Find(u"Data Source")) << UStringToUtf8(quoted);
    EXPECT_EQ(*parsed.Find(u"Data Source"), value) << UStringToUtf8(quoted);
  }
  EXPECT_EQ(QuoteConnectionValue(u"C:\\db.mdb"), u"C:\\db.mdb");
}

class JetOpenErrorsTest : public testing::Test {};

TEST_F(JetOpenErrorsTest, OtherProvidersAndMissingDataSourceAreRefused) {
  TJetConnection db;
  const std::string file = Fixture("mdb/callbook-tiny.mdb");
  EXPECT_THAT(ErrorOf([&] { db.Open(u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + U(file)); }),
              testing::HasSubstr("Microsoft.ACE.OLEDB.12.0"));
  EXPECT_THAT(ErrorOf([&] { db.Open(u"Provider=Microsoft.Jet.OLEDB.4.0;"); }),
              testing::HasSubstr("Data Source"));
  EXPECT_THAT(ErrorOf([&] { db.Open(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="); }),
              testing::HasSubstr("Data Source"));
  EXPECT_FALSE(db.Connected());
  EXPECT_EQ(db.JetVersion(), 0);
}

TEST_F(JetOpenErrorsTest, MissingFileOrFolderIsNamed) {
  ExpectOpenFails(ScratchDir() + "/no-such.mdb", "Could not find file");
  ExpectOpenFails(ScratchDir(), "folder");
}

TEST_F(JetOpenErrorsTest, ForeignFilesAreNotJetDatabases) {
  const std::string dir = ScratchDir();
  WriteBytes(dir + "/text.mdb", std::string(8192, 'x'));
  ExpectOpenFails(dir + "/text.mdb", "not a Jet database");
  WriteBytes(dir + "/empty.mdb", "");
  ExpectOpenFails(dir + "/empty.mdb", "not a Jet database");
  ExpectOpenFails(Fixture("packages/tiny.zip"), "not a Jet database");
  // An Access 2007 (ACE) file carries a later version number.
  ExpectOpenFails(AlteredCopy("ace.mdb", [](std::string& b) { b[0x14] = 2; }), "version");
}

TEST_F(JetOpenErrorsTest, CopiesCutShortAreReportedAsTruncated) {
  // Cut in the middle of a page, and after the first two pages.
  ExpectOpenFails(AlteredCopy("half.mdb", [](std::string& b) { b.resize(b.size() / 2 + 100); }),
                  "truncated");
  ExpectOpenFails(AlteredCopy("tiny.mdb", [](std::string& b) { b.resize(4096 * 2); }),
                  "truncated");
}

TEST_F(JetOpenErrorsTest, QueryNeedsAnOpenConnection) {
  TJetConnection db;
  TJetQuery q(db);
  q.SetSQL(u"SELECT * FROM CALLBOOK");
  EXPECT_THAT(ErrorOf([&] { q.Open(); }), testing::HasSubstr("not open"));
  EXPECT_FALSE(q.Active());
  EXPECT_THROW(q.RecordCount(), EDatabaseError);
}

}  // namespace
