// The host's journal, preview and undo, through real runs of the module on the sample
// callbook and package.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "host/CallbookFile.h"
#include "host/HostProgressLine.h"
#include "host/HostTestUtil.h"
#include "host/HostUpdate.h"
#include "host/ModuleLoader.h"

namespace {

namespace fs = std::filesystem;

// A data folder holding the sample callbook, and hosts opened on it one at a time, as
// separate runs of the program would be.
struct Journal : ::testing::Test {
  TTempDir dir;
  std::unique_ptr<THostCore> host;
  std::unique_ptr<TModuleLoader> module;
  std::string out, err;

  void SetUp() override {
    Open();
    ImportCallbookFile(host->Server.Db(), IncludeTrailingPathDelimiter(ExamplesDir()) + u"sample-callbook.tsv");
    Close();
  }
  void TearDown() override { Close(); }

  void Open() {
    host = std::make_unique<THostCore>(dir.U16());
    host->Kernel.EchoLog = false;
    host->Kernel.MessageHook = [this](const UString& text, const UString&) { err += UStringToUtf8(text) + "\n"; };
  }
  void Close() {
    if (module) {
      EXPECT_EQ(module->Unload(), S_OK);
    }
    module.reset();
    host.reset();
  }
  TCallbookDb& Db() { return host->Server.Db(); }

  // One run of the sample package in a host of its own.
  bool Update(THostRun::TMode mode, std::optional<UString> previewFile = std::nullopt) {
    Open();
    module = std::make_unique<TModuleLoader>(U(ZORVIK_BIN_DIR "/UpdZorvik.ext"), &host->Menus);
    EXPECT_EQ(module->Start(host.get()), S_OK);
    TUpdateRequest request;
    request.Local = SamplePackageCopy();
    request.Mode = mode;
    request.PreviewFile = std::move(previewFile);
    std::ostringstream o, e;
    bool ok = RunUpdateJob(*host, request, o, e);
    out = o.str();
    err += e.str();
    return ok;
  }

  // The whole table in file order, every column, as text.
  std::string Table() {
    std::ostringstream s;
    ExportCallbookTsv(*Db().Select({}), s);
    return s.str();
  }
  std::string FileBytes() { return ReadFile(dir.Path() / "callbook.db"); }
};

TEST_F(Journal, PreviewWritesNothingAndListsExactlyWhatTheRealRunChanges) {
  const std::string bytes = FileBytes();
  ASSERT_TRUE(Update(THostRun::TMode::Preview, dir.U16() + u"/preview.tsv")) << out << err;
  EXPECT_NE(out.find("Preview:          rolled back; the callbook is unchanged"), std::string::npos) << out;
  EXPECT_NE(out.find("Changes the run would make:\n  Q0ABC  OMNAME  \"Al\" \u2192 \" Alan \"\n"), std::string::npos) << out;
  // The walk saw the preview's own changes, as a real run does.
  EXPECT_NE(out.find("Updated 11 records of 13 total"), std::string::npos) << out;
  Close();
  EXPECT_TRUE(FileBytes() == bytes) << "the preview changed the callbook file";
  EXPECT_FALSE(fs::exists(dir.Path() / "callbook.db-wal") && fs::file_size(dir.Path() / "callbook.db-wal") > 0);

  const std::string previewed = ReadFile(dir.Path() / "preview.tsv");
  std::string previewOut = out;
  ASSERT_TRUE(Update(THostRun::TMode::Journal)) << out << err;
  EXPECT_NE(out.find("Journal run:      1\n"), std::string::npos) << out;
  // The preview's counts are the real run's.
  const auto counts = [](const std::string& s) {
    const std::size_t from = s.find("\nRows walked:");
    return s.substr(from, s.find("Elapsed time:", from) - from);
  };
  EXPECT_EQ(counts(previewOut), counts(out));
  const std::vector<TValueChange> made = Db().Changes(1);
  ASSERT_FALSE(made.empty());
  std::ostringstream madeTsv;
  WriteChangesTsv(made, madeTsv);
  EXPECT_EQ(previewed, madeTsv.str());
}

TEST_F(Journal, PreviewKeepsEveryChangeInOrderAndMakesNoJournal) {
  Open();
  Db().BeginPreview();
  std::int32_t changed = 0;
  ASSERT_EQ(host->Server.ExecSQL(BStr(u"UPDATE CALLBOOK SET OMNAME='X',Use_BUREAU=TRUE WHERE OMCALL='Q0AAA'").Get(), &changed), S_OK);
  ASSERT_EQ(host->Server.ExecSQL(BStr(u"UPDATE CALLBOOK SET OMNAME='Y' WHERE OMCALL='Q0AAA'").Get(), &changed), S_OK);
  const std::vector<TValueChange> v = Db().EndPreview().All();
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].Call, UString(u"Q0AAA"));
  EXPECT_EQ(v[0].Column, 1);
  EXPECT_EQ(v[0].Old, UString(u"Robert"));
  EXPECT_EQ(v[0].New, UString(u"X"));
  EXPECT_EQ(v[1].Column, 6);
  EXPECT_EQ(v[1].Old, UString(u"0"));
  EXPECT_EQ(v[1].New, UString(u"1"));
  EXPECT_EQ(v[2].Old, UString(u"X"));
  EXPECT_EQ(v[2].New, UString(u"Y"));
  EXPECT_TRUE(Db().Runs().empty()) << "a preview made journal tables";
}

TEST_F(Journal, UndoBringsBackEveryValueAndCanItselfBeUndone) {
  Open();
  const std::string before = Table();
  Close();
  ASSERT_TRUE(Update(THostRun::TMode::Journal)) << out << err;
  const std::string after = Table();
  ASSERT_NE(after, before);
  Close();

  Open();
  TUndoOutcome undo = Db().Undo();
  EXPECT_EQ(undo.Undone, 1);
  EXPECT_EQ(undo.Run, 2);
  EXPECT_TRUE(undo.Conflicts.empty());
  EXPECT_GT(undo.RowsRestored, 0);
  EXPECT_EQ(Table(), before);
  // Nothing is left to undo by default; the undo itself can be named.
  EXPECT_THROW(Db().Undo(), EHostError);
  TUndoOutcome redo = Db().Undo(2);
  EXPECT_EQ(redo.RowsRestored, undo.RowsRestored);
  EXPECT_EQ(Table(), after);
  // With the undo undone, run 1 stands again and is the default once more.
  EXPECT_EQ(Db().Undo().Undone, 1);
  EXPECT_EQ(Table(), before);

  const std::vector<TJournalRun> runs = Db().Runs();
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].Number, 4);
  EXPECT_EQ(runs[0].Undoes, 1);
  EXPECT_EQ(runs[1].Undoes, 2);
  EXPECT_EQ(runs[3].Kind, u"update");
  EXPECT_EQ(runs[3].Result, u"succeeded");
  EXPECT_EQ(runs[3].Fields, u"name,qth,grid,state,qsl");
  EXPECT_EQ(runs[3].Statements, 11);
  EXPECT_EQ(runs[3].ValuesChanged, static_cast<std::int64_t>(Db().Changes(1).size()));
  EXPECT_THROW(Db().Undo(9), EHostError);
}

TEST_F(Journal, UndoLeavesRowsEditedSinceAndNamesThem) {
  ASSERT_TRUE(Update(THostRun::TMode::Journal)) << out << err;
  std::int32_t changed = 0;
  ASSERT_EQ(host->Server.ExecSQL(BStr(u"UPDATE CALLBOOK SET OMQTH='Elsewhere' WHERE OMCALL='Q0ABC'").Get(), &changed), S_OK);
  ASSERT_EQ(changed, 1);
  Close();

  Open();
  TUndoOutcome undo = Db().Undo();
  ASSERT_EQ(undo.Conflicts.size(), 1u);
  const TUndoConflict& c = undo.Conflicts[0];
  EXPECT_EQ(c.Call, UString(u"Q0ABC"));
  EXPECT_EQ(CallbookColumnName(c.Column), UString(u"OMQTH"));
  EXPECT_EQ(c.Found, UString(u"Elsewhere"));
  EXPECT_FALSE(c.Missing);
  // That row keeps every value of the run and the edit; the others are back.
  auto row = Db().Select({UString(u"Q0ABC")});
  EXPECT_EQ(row->Text(1), u" Alan ");
  EXPECT_EQ(row->Text(2), u"Elsewhere");
  row = Db().Select({UString(u"Q0AAA")});
  EXPECT_EQ(row->Text(1), u"Robert");
}

TEST_F(Journal, AFailedRunJournalsWhatItChangedAndIsUndoneWhole) {
  Open();
  const std::string before = Table();
  Close();
  Open();
  host->Faults.FailCall({"ExecSQL", 4, E_FAIL, kHostErrorSource, u"disk full"});
  module = std::make_unique<TModuleLoader>(U(ZORVIK_BIN_DIR "/UpdZorvik.ext"), &host->Menus);
  ASSERT_EQ(module->Start(host.get()), S_OK);
  std::ostringstream o, e;
  TUpdateRequest request;
  request.Local = SamplePackageCopy();
  EXPECT_FALSE(RunUpdateJob(*host, request, o, e));
  Close();

  Open();
  const std::vector<TJournalRun> runs = Db().Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].Result, u"failed");
  EXPECT_EQ(runs[0].Statements, 3);
  ASSERT_NE(Table(), before);
  EXPECT_TRUE(Db().Undo().Conflicts.empty());
  EXPECT_EQ(Table(), before);
}

TEST_F(Journal, ADamagedJournalIsRefusedAndTheCallbookLeftAlone) {
  ASSERT_TRUE(Update(THostRun::TMode::Journal)) << out << err;
  Close();
  // Cut the run's records short, and in a second copy make a length run past the end.
  const std::string after = [&] {
    Open();
    std::string t = Table();
    Close();
    return t;
  }();
  for (const char* damage : {"substr(DATA, 1, length(DATA) - 3)", "X'0100000000000000017F' || DATA"}) {
    SCOPED_TRACE(damage);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir.Path() / "callbook.db").string().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, (std::string("UPDATE JOURNAL_CHANGE SET DATA=") + damage).c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    Open();
    try {
      Db().Undo();
      ADD_FAILURE() << "a damaged journal was used";
    } catch (const EHostError& e) {
      EXPECT_NE(UStringToUtf8(e.Message).find("the journal of run 1 is damaged"), std::string::npos)
          << UStringToUtf8(e.Message);
    }
    EXPECT_THROW(Db().Changes(1), EHostError);
    EXPECT_EQ(Table(), after);
    Close();
  }
}

TEST(ColumnCounts, ValuesThatDidNotFillOrLengthenAreCountedApart) {
  // Lengths count UTF-16 units of the text without blanks and control characters around it.
  EXPECT_EQ(TrimmedUtf16Length(" \t A\xC3\xA9\xF0\x9F\x93\xA1 \r\n"), 4u);
  const std::optional<UString> none;
  struct TCase {
    int Column;
    std::optional<UString> Before, After;
    bool Fills;
  } cases[] = {{1, none, UString(u"Al"), true},          {1, UString(u"Al"), UString(u" Alan "), true},
               {3, UString(u"AA00AA"), UString(u"AA00"), false}, {3, UString(u"AA00"), UString(u"BB11"), false},
               {5, UString(u"Q0LONGER"), UString(u"Q0X"), true}, {6, UString(u"0"), UString(u"1"), true},
               {6, UString(u"1"), UString(u"0"), false},         {0, UString(u"Q0A"), UString(u"Q0AB"), false}};
  for (const TCase& c : cases)
    EXPECT_EQ(FillsOrLengthens(c.Column, c.Before, c.After), c.Fills) << c.Column << " " << UStringToUtf8(c.After.value_or(u""));
  TColumnCounts counts{0, 4, 0, 7, 0, 1, 2}, otherwise{0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(ColumnCountLines(counts, otherwise),
            (std::vector<std::string>{"Name filled or lengthened: 4", "QTH filled or lengthened: 0",
                                      "Grid filled or lengthened: 6", "Grid replaced by one as long or shorter: 1",
                                      "State filled or lengthened: 0", "QSL manager set: 1", "Bureau flag set: 2"}));
}

TEST(HostProgressLine, DrawsAtMostTenTimesASecondAndClearsItself) {
  using namespace std::chrono;
  steady_clock::time_point now{};
  std::ostringstream s;
  THostProgressLine line(s, true, [&] { return now; });
  for (int i = 0; i < 1000; ++i) {
    now += milliseconds(3);
    line.Update(i, 1000, i / 2);
  }
  // 3 s of updates: the first and then one per 100 ms.
  const std::string drawn = s.str();
  EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 30);
  const std::string last = " 98%  986 of 1,000 rows  493 statements  3.0 s";
  EXPECT_EQ(drawn.substr(drawn.size() - last.size() - 1), "\r" + last);
  // A shorter line covers the rest of the longer one.
  now += seconds(1);
  line.Update(5, 9, 0);
  const std::string shorter = " 55%  5 of 9 rows  0 statements  4.0 s";
  EXPECT_EQ(s.str().substr(drawn.size()), "\r" + shorter + std::string(last.size() - shorter.size(), ' '));
  s.str("");
  line.Clear();
  EXPECT_EQ(s.str(), "\r" + std::string(shorter.size(), ' ') + "\r");
  s.str("");
  line.Clear();
  EXPECT_EQ(s.str(), "");

  THostProgressLine quiet(s, false);
  quiet.Update(1, 2, 3);
  quiet.Clear();
  EXPECT_EQ(s.str(), "");
  EXPECT_EQ(THostProgressLine::Format(1234567, 0, 0, 0.04), "  0%  1,234,567 of 0 rows  0 statements  0.0 s");
}

}  // namespace
