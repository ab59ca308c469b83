// Opening Jet files: the connection string, and files that are missing, foreign or
// damaged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

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
        // An unquoted semicolon ends the value; what follows is not a key=value pair.
        TParseCase{"Data Source=/tmp/a;b.mdb;", nullptr},
        TParseCase{"Data Source=\"/tmp/open", nullptr},
        TParseCase{"Data Source=\"/tmp/x\" tail;", nullptr}));

class JetConnectionTest : public testing::Test {
 protected:
  // Opening path must fail with a message that names the file and contains what.
  void ExpectOpenFails(const std::string& path, const std::string& what) {
    TJetConnection db;
    const std::string message = ErrorOf([&] { db.Open(JetConnectionStringFor(path)); });
    EXPECT_THAT(message, testing::AllOf(testing::HasSubstr(path), testing::HasSubstr(what)));
    EXPECT_FALSE(db.Connected());
  }
  // A copy of a fixture database, changed by edit.
  template <typename F>
  std::string AlteredCopy(const std::string& name, F edit) {
    std::string bytes = ReadBytes(Fixture("mdb/callbook-tiny.mdb"));
    edit(bytes);
    const std::string path = ScratchDir() + "/" + name;
    WriteBytes(path, bytes);
    return path;
  }
};

TEST_F(JetConnectionTest, OpensJet4FilesAndClosesTwiceHarmlessly) {
  TJetConnection db;
  EXPECT_FALSE(db.Connected());
  db.Open(JetConnectionStringFor(Fixture("mdb/callbook-tiny.mdb")));
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(db.JetVersion(), 4);
  EXPECT_EQ(db.FileName(), U(Fixture("mdb/callbook-tiny.mdb")));
  db.Close();
  db.Close();
  EXPECT_FALSE(db.Connected());
  EXPECT_TRUE(db.FileName().empty());
}

TEST_F(JetConnectionTest, ReopeningSwitchesToTheSecondFile) {
  TJetConnection db;
  db.Open(JetConnectionStringFor(Fixture("mdb/callbook-tiny.mdb")));
  db.Open(JetConnectionStringFor(Fixture("mdb/real-tasks-jet4.mdb")));
  TJetQuery q(db);
  q.SetSQL(u"SELECT * FROM Tasks");
  q.Open();
  EXPECT_EQ(q.RecordCount(), 3u);
}

TEST_F(JetConnectionTest, RefusesOtherProvidersAndMissingDataSource) {
  TJetConnection db;
  EXPECT_THROW(db.Open(u"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" +
                       U(Fixture("mdb/callbook-tiny.mdb"))),
               EDatabaseError);
  EXPECT_THROW(db.Open(u"Provider=Microsoft.Jet.OLEDB.4.0;"), EDatabaseError);
  // The provider name is not case-sensitive, and may be left out.
  db.Open(u"provider=MICROSOFT.JET.OLEDB.4.0;data source=" + U(Fixture("mdb/callbook-tiny.mdb")));
  EXPECT_TRUE(db.Connected());
}

TEST_F(JetConnectionTest, MissingFileOrFolderIsNamed) {
  ExpectOpenFails(ScratchDir() + "/no-such.mdb", "Could not find file");
  ExpectOpenFails(ScratchDir(), "folder");
}

TEST_F(JetConnectionTest, ForeignFilesAreNotJetDatabases) {
  const std::string dir = ScratchDir();
  WriteBytes(dir + "/text.mdb", std::string(8192, 'x'));
  ExpectOpenFails(dir + "/text.mdb", "not a Jet database");
  WriteBytes(dir + "/empty.mdb", "");
  ExpectOpenFails(dir + "/empty.mdb", "not a Jet database");
  ExpectOpenFails(Fixture("packages/tiny.zip"), "not a Jet database");
  // An Access 2007 (ACE) file carries a later version number.
  ExpectOpenFails(AlteredCopy("ace.mdb", [](std::string& b) { b[0x14] = 2; }), "version");
}

TEST_F(JetConnectionTest, TruncatedCopiesAreReportedNotShortened) {
  // Cut in the middle of a page.
  ExpectOpenFails(AlteredCopy("half.mdb", [](std::string& b) { b.resize(b.size() / 2 + 100); }),
                  "truncated");
  ExpectOpenFails(AlteredCopy("tiny.mdb", [](std::string& b) { b.resize(4096 * 2); }),
                  "truncated");
  // Cut at every page boundary: either the open or the query fails; no query ever returns
  // fewer rows than the table holds.
  const std::size_t pages = ReadBytes(Fixture("mdb/callbook-tiny.mdb")).size() / 4096;
  for (std::size_t keep = 3; keep < pages; ++keep) {
    const std::string path = AlteredCopy("cut.mdb", [keep](std::string& b) { b.resize(keep * 4096); });
    try {
      TJetConnection db;
      db.Open(JetConnectionStringFor(path));
      TJetQuery q(db);
      q.SetSQL(u"SELECT * FROM CALLBOOK ORDER BY CALL");
      q.Open();
      EXPECT_EQ(q.RecordCount(), 14u) << "kept " << keep << " pages";
    } catch (const EDatabaseError&) {
    }
  }
}

// Random bytes written over one page of a copy: opening and querying either succeed or
// fail with EDatabaseError, and never crash. The first cases once crashed libmdb's own
// catalog reader (page map not found; object properties overrun).
TEST_F(JetConnectionTest, ScrambledPagesFailCleanly) {
  struct TCase {
    const char* fixture;
    unsigned page, pages;
    unsigned seed;
  };
  std::vector<TCase> cases = {{"mdb/callbook-tiny.mdb", 2, 2, 5256},
                              {"mdb/callbook-tiny-2003.mdb", 14, 1, 14001}};
  for (unsigned page = 0; page < 28; ++page)
    for (unsigned seed = 0; seed < 4; ++seed)
      cases.push_back({"mdb/callbook-extra.mdb", page, 1, page * 100 + seed});
  for (const TCase& c : cases) {
    const std::string original = ReadBytes(Fixture(c.fixture));
    const std::string path = AlteredCopy("scrambled.mdb", [&](std::string& b) {
      b = original;
      std::mt19937 rng(c.seed);
      const std::size_t lo = c.page == 0 ? 0x20 : c.page * 4096u, hi = (c.page + c.pages) * 4096u;
      for (unsigned flips = 1 + rng() % 20; flips > 0; --flips) {
        const std::size_t pos = lo + rng() % (hi - lo);
        b[pos] = char(rng());
      }
    });
    try {
      TJetConnection db;
      db.Open(JetConnectionStringFor(path));
      TJetQuery q(db);
      q.SetSQL(u"SELECT * FROM CALLBOOK ORDER BY CALL");
      q.Open();
      q.Locate(u"CALL", u"Q0ABC");
    } catch (const EDatabaseError&) {
    }
  }
}

TEST_F(JetConnectionTest, QueryNeedsAnOpenConnection) {
  TJetConnection db;
  TJetQuery q(db);
  q.SetSQL(u"SELECT * FROM CALLBOOK");
  EXPECT_THROW(q.Open(), EDatabaseError);
  EXPECT_FALSE(q.Active());
}

}  // namespace
