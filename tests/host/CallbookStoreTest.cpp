// The callbook kept in a TSV file: what a commit writes is what the next host reads, the
// file is replaced whole, and a damaged file is refused without being overwritten.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/CallbookFile.h"
#include "host/HostTestUtil.h"

namespace {

namespace fs = std::filesystem;

// The store sits in a folder whose name is not ASCII, as a user's profile folder may be.
struct CallbookStore : ::testing::Test {
  TTempDir dir;
  fs::path folder = dir.Path() / fs::path(u"Москва Ω");
  UString path = (folder / "callbook.tsv").u16string();

  void SetUp() override { fs::create_directory(folder); }

  static std::vector<TCallbookRow> All(TCallbookDb& db, bool byCall) {
    std::vector<TCallbookRow> rows;
    for (auto c = db.Select({std::nullopt, byCall}); !c->Eof(); c->Next()) {
      TCallbookRow& r = rows.emplace_back();
      for (int i = 0; i < kCallbookColumnCount; ++i)
        if (!c->IsNull(i)) r[i] = UString(c->Text(i));
    }
    return rows;
  }
  static void Add(TCallbookDb& db, const std::vector<TCallbookRow>& rows) {
    std::size_t i = 0;
    db.Insert([&](TCallbookRow& r) {
      if (i == rows.size()) return false;
      r = rows[i++];
      return true;
    });
  }
  static int Set(TCallbookDb& db, UStringView sql) { return db.Exec(ParseCallbookUpdate(sql)); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
  }
};

TEST_F(CallbookStore, EveryValueSurvivesCommitAndReopen) {
  // Text that the file's escapes must carry, empty text beside NULL, both Boolean values,
  // and rows whose callsign a statement emptied or that never had one.
  const std::vector<TCallbookRow> rows{
      {u"Q0ABC", u"Tab\there", u"Line\nbreak\r", u"", std::nullopt, u"back\\slash \\N", u"1"},
      {u"Q0RU", u"Москва", u"Ω 東京 \U0001F4E1", std::nullopt, u"NY", std::nullopt, u"0"},
      {std::nullopt, u"no call", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {u"Q0GONE", u"emptied", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}};
  std::vector<TCallbookRow> expected = rows;
  expected[3][0] = u"";
  {
    TCallbookDb db(path);
    Add(db, rows);
    EXPECT_EQ(Set(db, u"UPDATE CALLBOOK SET OMCALL='' WHERE OMCALL='Q0GONE'"), 1);
    EXPECT_EQ(Set(db, u"UPDATE CALLBOOK SET OMCALL='x' WHERE OMCALL='Q0GONE'"), 0);
    db.Commit();
  }
  TCallbookDb reopened(path);
  EXPECT_EQ(All(reopened, false), expected);
  // NULL first, then by the callsign's bytes.
  auto ordered = All(reopened, true);
  ASSERT_EQ(ordered.size(), 4u);
  EXPECT_FALSE(ordered[0][0]);
  EXPECT_EQ(ordered[1][0], UString(u""));
  EXPECT_EQ(ordered[2][0], UString(u"Q0ABC"));
  EXPECT_EQ(ordered[3][0], UString(u"Q0RU"));
  EXPECT_EQ(Files(), std::vector<std::string>{"callbook.tsv"});  // no temporary file left
}

TEST_F(CallbookStore, StatementsReachTheFileOnlyWhenCommitted) {
  TCallbookDb db(path);
  Add(db, {{u"Q0A", u"old", std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"},
           {u"Q0A", u"old too", std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"}});
  EXPECT_EQ(Set(db, u"UPDATE CALLBOOK SET OMNAME='new',Use_BUREAU=TRUE WHERE OMCALL='Q0A'"), 2);
  EXPECT_EQ(TCallbookDb(path).Select({UString(u"Q0A"), false})->Text(1), u"old");
  db.Commit();
  TCallbookDb other(path);
  auto c = other.Select({UString(u"Q0A"), false});
  EXPECT_EQ(c->Count(), 2);
  for (; !c->Eof(); c->Next()) {
    EXPECT_EQ(c->Text(1), u"new");
    EXPECT_EQ(c->Text(6), u"1");
  }
}

TEST_F(CallbookStore, WalkSeesStatementsAndFollowsARenamedCallsign) {
  TCallbookDb db(path);
  Add(db, {{u"Q0B", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
           {u"Q0A", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}});
  auto walk = db.Select({std::nullopt, true});
  ASSERT_FALSE(walk->Eof());
  EXPECT_EQ(walk->Text(0), u"Q0A");
  Set(db, u"UPDATE CALLBOOK SET OMNAME='seen' WHERE OMCALL='Q0A'");
  EXPECT_EQ(walk->Text(1), u"seen");
  EXPECT_EQ(walk->Utf8(1), "seen");
  EXPECT_EQ(Set(db, u"UPDATE CALLBOOK SET OMCALL='Q0Z' WHERE OMCALL='Q0B'"), 1);
  EXPECT_EQ(Set(db, u"UPDATE CALLBOOK SET OMNAME='renamed' WHERE OMCALL='Q0Z'"), 1);
  EXPECT_EQ(Set(db, u"UPDATE CALLBOOK SET OMNAME='lost' WHERE OMCALL='Q0B'"), 0);
  walk->Next();
  EXPECT_EQ(walk->Text(1), u"renamed");
  walk->Next();
  EXPECT_TRUE(walk->Eof());
  EXPECT_TRUE(walk->IsNull(0));
}

// A file that is not a callbook is refused naming it and what is wrong, and stays as it was.
struct TDamaged {
  const char* name;
  std::string content;
  const char* why;
};

class CallbookDamagedStore : public CallbookStore, public ::testing::WithParamInterface<TDamaged> {};

TEST_P(CallbookDamagedStore, IsRefusedAndLeftUntouched) {
  WriteFile(folder / "callbook.tsv", GetParam().content);
  try {
    TCallbookDb db(path);
    ADD_FAILURE() << "a damaged callbook was opened";
  } catch (const EHostError& e) {
    std::string text = e.what();
    EXPECT_NE(text.find("callbook.tsv"), std::string::npos) << text;
    EXPECT_NE(text.find(GetParam().why), std::string::npos) << text;
  }
  EXPECT_EQ(ReadFile(folder / "callbook.tsv"), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CallbookDamagedStore,
    ::testing::Values(
        TDamaged{"UnknownColumn", "OMCALL\tOMNAME\tCOLOUR\nQ0A\tAl\tred\n", "COLOUR"},
        TDamaged{"ShortLine", "OMCALL\tOMNAME\tOMQTH\nQ0A\tAl\n", "line 2"},
        TDamaged{"BadBoolean", "OMCALL\tUse_BUREAU\nQ0A\tmaybe\n", "Use_BUREAU"},
        TDamaged{"BadEscape", "OMCALL\tOMNAME\nQ0A\tA\\q\n", "escape"},
        TDamaged{"NotUtf8", "OMCALL\tOMNAME\nQ0A\t\xFF\xFE\n", "UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CallbookStore, PreviewIsTakenBackAndARunCountsItsChangesWithoutAJournal) {
  TCallbookDb db(path);
  Add(db, {{u"Q0A", u"Al", std::nullopt, std::nullopt, std::nullopt, std::nullopt, u"0"}});
  const std::string saved = ReadFile(fs::path(path));
  db.BeginPreview();
  EXPECT_THROW(Add(db, {{u"Q0B"}}), EHostError);
  EXPECT_EQ(Set(db, u"UPDATE CALLBOOK SET OMNAME='Alan',Use_BUREAU=TRUE WHERE OMCALL='Q0A'"), 1);
  EXPECT_EQ(db.Select({UString(u"Q0A"), false})->Text(1), u"Alan");  // the walk sees it
  db.Commit();
  const std::vector<TValueChange> changes = db.EndPreview().All();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0], (TValueChange{1, UString(u"Q0A"), 1, UString(u"Al"), UString(u"Alan")}));
  EXPECT_EQ(changes[1], (TValueChange{1, UString(u"Q0A"), 6, UString(u"0"), UString(u"1")}));
  EXPECT_EQ(db.Select({UString(u"Q0A"), false})->Text(1), u"Al");
  EXPECT_EQ(ReadFile(fs::path(path)), saved);

  EXPECT_FALSE(db.KeepsJournal());
  EXPECT_EQ(db.BeginRun(u"update", u"x", u"name"), 0);
  Set(db, u"UPDATE CALLBOOK SET OMNAME='Alan' WHERE OMCALL='Q0A'");
  Set(db, u"UPDATE CALLBOOK SET OMNAME='Alan' WHERE OMCALL='Q0A'");  // no change the second time
  const TColumnCounts counts = db.EndRun(true, 2, 2);
  EXPECT_EQ(counts[1], 1);
  EXPECT_EQ(TCallbookDb(path).Select({UString(u"Q0A"), false})->Text(1), u"Alan");
  EXPECT_THROW(db.Undo(), EHostError);
}

}  // namespace
