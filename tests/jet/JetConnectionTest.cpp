// Opening Jet files through libmdb: good files, reopening, and damaged copies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "jet/EDatabaseError.h"
#include "jet/JetConnection.h"
#include "jet/JetQuery.h"
#include "jet/JetTableScan.h"
#include "tests/jet/JetTestSupport.h"

namespace {

class JetConnectionTest : public testing::Test {};

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

TEST_F(JetConnectionTest, ProviderNameIsCaseInsensitiveAndOptional) {
  TJetConnection db;
  db.Open(u"provider=MICROSOFT.JET.OLEDB.4.0;data source=" + U(Fixture("mdb/callbook-tiny.mdb")));
  EXPECT_TRUE(db.Connected());
  db.Open(u"Data Source=" + U(Fixture("mdb/callbook-tiny-2003.mdb")));
  EXPECT_TRUE(db.Connected());
}

TEST_F(JetConnectionTest, TruncatedCopiesAreReportedNotShortened) {
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

// Found by fuzzing: a Jet 4 text field of one byte, the first value of its column, made
// the copy run from no buffer at all. A text of under two bytes holds no character; a
// trailing odd byte is dropped.
TEST_F(JetConnectionTest, TextFieldsOfOddLengthKeepTheirWholeCharacters) {
  const unsigned char bytes[] = {'Q', 0, '0', 0, 'X'};
  std::vector<char16_t> arena;
  AppendJetText(arena, bytes, 1, true);
  EXPECT_TRUE(arena.empty());
  AppendJetText(arena, bytes, 0, true);
  AppendJetText(arena, bytes, 5, true);
  EXPECT_EQ(std::u16string(arena.begin(), arena.end()), u"Q0");
  const unsigned char packed[] = {0xFF, 0xFE, 'A', 0};
  AppendJetText(arena, packed, 4, true);
  EXPECT_EQ(std::u16string(arena.begin(), arena.end()), u"Q0A");
}

}  // namespace
