#include <gtest/gtest.h>

#include <algorithm>

#include "jet/JetQuery.h"
#include "platform/Kernel.h"
#include "tests/Plugins/UpdZorvik/RunTestHost.h"
#include "zip/ZipError.h"

namespace {

namespace fs = std::filesystem;
using O = std::optional<UString>;
const O N = std::nullopt;

// A host callbook that meets the package tiny.zip in every way a merge can go.
const std::vector<TRow> kTinyHost = {
    {u"Q0ABC", u"Al", N, u"LO00AA", u"NY", N, u"0"},             // the worked example
    {u"Q0AAA", u"Robert", u"Shelbyville", u"FN31PR", u"NJ", u"Q0XYZ", u"0"},  // only QSL via, every run
    {u"Q0OBR", N, u"  ", u"", N, N, u"0"},                      // blanks and empty count as length 0
    {u"Q0QUO", u"Jan", u"Prague", N, N, N, u"0"},               // quotation marks in the package name
    {u"Q0CYR", N, N, N, N, N, u"0"},                             // Cyrillic
    {u"Q0NUL", N, N, N, N, N, u"0"},                             // package row all NULL
    {u"Q0BLK", N, N, N, N, N, u"0"},                             // package values blank or a tab
    {u"Q0DUP", u"Someone Long", u"A long town name", u"AA00AA", N, N, u"0"},  // twice in both
    {u"Q0DUP", N, N, N, N, N, u"0"},
    {u"q0low", N, N, N, N, N, u"0"},                             // found only in its own case
    {u"Q0LOW", N, N, N, N, N, u"0"},
    {u"Q0APO", N, N, N, N, N, u"0"},                             // runs of apostrophes
    {u"Q0MIX", N, N, N, N, N, u"0"},                             // both quote characters
    {u"Q0MISS", N, N, N, N, N, u"0"},                            // not in the package
    {u" Q0ZZZ", N, N, N, N, N, u"0"},                            // blanks around a callsign never match
};

class RunUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::uint32_t tick = 1000;
    SetTickCountSource([tick]() mutable { return tick += 1; });
    h.Core->Server.RecordStatements = true;
  }
  bool RunLocal(const fs::path& file) {
    UString path = Utf8ToUString(file.string());
    h.Dialog->edSource.SetText(path);
    return h.Dialog->RunUpdate(slLocal, path);
  }

  TRunTestHost h;
};

TEST_F(RunUpdateTest, TinyPackageSendsTheExactStatements) {
  h.Import(kTinyHost);
  h.UseFields({1, 2, 3, 5});
  const fs::path package = h.Package("tiny.zip");
  ASSERT_TRUE(RunLocal(package));

  const std::vector<UString> expected = {
      u"UPDATE CALLBOOK SET QSLMANAGER='Q0XYZ' WHERE OMCALL='Q0AAA'",
      u"UPDATE CALLBOOK SET OMNAME=' Alan ',OMQTH='Springfield',Use_BUREAU=TRUE WHERE OMCALL='Q0ABC'",
      u"UPDATE CALLBOOK SET OMNAME='O\"Brien \"',OMQTH='It\"s' WHERE OMCALL='Q0APO'",
      u"UPDATE CALLBOOK SET OMNAME='\u0418\u0432\u0430\u043D \u041F\u0435\u0442\u0440\u043E\u0432',"
      u"OMQTH='\u041C\u043E\u0441\u043A\u0432\u0430',GRIDSQUARE='KO85UR',Use_BUREAU=TRUE WHERE OMCALL='Q0CYR'",
      u"UPDATE CALLBOOK SET OMNAME='First Dup',OMQTH='Town One',GRIDSQUARE='AA00' WHERE OMCALL='Q0DUP'",
      u"UPDATE CALLBOOK SET OMNAME=\"A''B\",OMQTH=\"x'y\" WHERE OMCALL='Q0MIX'",
      u"UPDATE CALLBOOK SET OMNAME='O\"Brien',OMQTH='Dublin',GRIDSQUARE='IO63',Use_BUREAU=TRUE WHERE OMCALL='Q0OBR'",
      u"UPDATE CALLBOOK SET OMNAME=\"Jan 'Dok' Novak\",GRIDSQUARE='JO70',Use_BUREAU=TRUE WHERE OMCALL='Q0QUO'",
      u"UPDATE CALLBOOK SET OMNAME='Lower Case',OMQTH='Lowtown',GRIDSQUARE='CC22',Use_BUREAU=TRUE WHERE OMCALL='q0low'",
  };
  const auto& sent = h.Core->Server.RecordedStatements;
  ASSERT_EQ(sent.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(UStringToUtf8(sent[i]), UStringToUtf8(expected[i]));

  EXPECT_EQ(h.Row(u"Q0ABC"), (TRow{u"Q0ABC", u" Alan ", u"Springfield", u"LO00AA", u"NY", N, u"1"}));
  EXPECT_EQ(h.Row(u"Q0APO"), (TRow{u"Q0APO", u"O\"Brien \"", u"It\"s", N, N, N, u"0"}));
  EXPECT_EQ(h.Row(u"Q0MIX"), (TRow{u"Q0MIX", u"A''B", u"x'y", N, N, N, u"0"}));
  EXPECT_EQ(h.Row(u"Q0QUO"), (TRow{u"Q0QUO", u"Jan 'Dok' Novak", u"Prague", u"JO70", N, N, u"1"}));
  EXPECT_EQ(h.Row(u"Q0NUL"), kTinyHost[5]);
  EXPECT_EQ(h.Row(u"Q0LOW"), kTinyHost[10]);
  EXPECT_EQ(h.Row(u"Q0MISS"), kTinyHost[13]);

  EXPECT_EQ(UStringToUtf8(h.Dialog->mProgress.Text()),
            UStringToUtf8(u"* Use: " + h.Dialog->edSource.Text() +
                          u"\r\n   Update package dated 2026-12-09 05:17\r\n"
                          u"   Processing with 14 records in update\r\n"
                          u"   Updated 9 records of 15 total\r\n"
                          u"* Done. Elapsed time 00:00:00"));
  EXPECT_EQ(h.Dialog->psProgress.Percent(), 0);
  EXPECT_EQ(h.Core->Kernel.Value(u"REFRESH"), u"YES");
  auto log = h.LogLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3].rfind(u"Connect updates: ", 0), 0u);
  EXPECT_EQ(log[log.size() - 2], u"Disconnect updates.");
  EXPECT_EQ(log.back(), u"Exec: Update Callbook with Zorvik data, " + h.Dialog->edSource.Text() + u" processed (00:00:00)");
  EXPECT_TRUE(h.DownloadFiles().empty());
  EXPECT_TRUE(fs::exists(package)) << "the user's package stays";
  EXPECT_FALSE(h.Dialog->adcUpd.Connected());
}

TEST_F(RunUpdateTest, EveryPackageLayoutReadsTheSameRows) {
  for (const char* name : {"tiny.zip", "tiny-stored.zip", "tiny-folder.zip", "tiny-zip64.zip", "tiny-stream.zip",
                           "tiny-2003.zip", "tiny-extra.zip"}) {
    SCOPED_TRACE(name);
    TRunTestHost fresh;
    fresh.Import({{u"Q0ZZZ", N, N, N, N, N, u"0"}});
    fresh.UseFields({1, 2, 3, 4, 5});
    fresh.Dialog->edSource.SetText(Utf8ToUString(fresh.Package(name).string()));
    ASSERT_TRUE(fresh.Dialog->RunUpdate(slLocal, fresh.Dialog->edSource.Text()));
    EXPECT_EQ(fresh.Row(u"Q0ZZZ"), (TRow{u"Q0ZZZ", u"Zed", u"Zeta", u"ZZ99", u"ZZ", u"Q0ABC", u"0"}));
    EXPECT_TRUE(fresh.DownloadFiles().empty());
  }
}

TEST_F(RunUpdateTest, PackageWithoutDatabaseEndsNormally) {
  h.Import(kTinyHost);
  h.UseFields({1});
  ASSERT_TRUE(RunLocal(h.Package("nodb.zip")));
  EXPECT_EQ(UStringToUtf8(h.Dialog->mProgress.Text()),
            UStringToUtf8(u"* Use: " + h.Dialog->edSource.Text() + u"\r\n* Done. Elapsed time 00:00:00"));
  EXPECT_TRUE(h.Core->Server.RecordedStatements.empty());
  EXPECT_EQ(h.Core->Kernel.Value(u"REFRESH"), u"YES");
}

TEST_F(RunUpdateTest, EmptyCallbookWalksNothing) {
  h.UseFields({1});
  ASSERT_TRUE(RunLocal(h.Package("tiny.zip")));
  EXPECT_NE(h.Dialog->mProgress.Text().find(u"   Updated 0 records of 0 total\r\n"), UString::npos);
}

TEST_F(RunUpdateTest, PackagesThatCannotBeOpenedFailWithoutLeftovers) {
  h.Import(kTinyHost);
  h.UseFields({1});
  fs::path notZip = h.Dir / "not-a-zip.zip";
  WriteBytes(notZip, TBytes{'M', 'Z', 0x90, 0, 3, 0});
  struct Case {
    const char* name;
    TSourceLocation location;
    fs::path file;
  };
  for (const Case& c : {Case{"not a ZIP", slLocal, notZip}, Case{"no location", slNone, h.Package("tiny.zip")},
                        Case{"unknown location", static_cast<TSourceLocation>(7), h.Package("tiny.zip")}}) {
    SCOPED_TRACE(c.name);
    h.Core->Kernel.Messages.clear();
    UString text = Utf8ToUString(c.file.string());
    h.Dialog->edSource.SetText(text);
    EXPECT_FALSE(h.Dialog->RunUpdate(c.location, text));
    ASSERT_EQ(h.Core->Kernel.Messages.size(), 1u);
    EXPECT_EQ(h.Core->Kernel.Messages[0].first, u"Error");
    EXPECT_EQ(h.Core->Kernel.Messages[0].second, u"Resource open error: " + text);
    EXPECT_EQ(h.LogLines().back(), u"Exec: Update Callbook with Zorvik data, " + text + u" failed.");
    EXPECT_EQ(h.Core->Kernel.Value(u"REFRESH"), u"");
    EXPECT_TRUE(h.DownloadFiles().empty());
    EXPECT_TRUE(h.Dialog->mProgress.Text().empty());
  }
  EXPECT_TRUE(h.Core->Server.RecordedStatements.empty());
}

TEST_F(RunUpdateTest, MissingLocalFileIsAnError) {
  UString missing = Utf8ToUString((h.Dir / "gone.zip").string());
  try {
    h.Dialog->RunUpdate(slLocal, missing);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message.rfind(u"Cannot open file \"" + missing + u"\". ", 0), 0u);
  }
}

// Errors inside the run reach the caller unchanged; the memo keeps what was written,
// and no temporary file or open connection stays behind.
TEST_F(RunUpdateTest, DamagedPackagesFailCleanly) {
  h.Import(kTinyHost);
  h.UseFields({1});
  TBytes zip = ReadBytes(SharedPackage("tiny-stored.zip"));
  TBytes badCrc = zip;
  badCrc[200] ^= 0xFF;  // inside the stored database
  TBytes truncated(zip.begin(), zip.begin() + static_cast<long>(zip.size() / 2));
  WriteBytes(h.Dir / "bad-crc.zip", badCrc);
  WriteBytes(h.Dir / "truncated.zip", truncated);

  EXPECT_THROW(RunLocal(h.Dir / "bad-crc.zip"), EZipError);
  EXPECT_NE(h.Dialog->mProgress.Text().find(u"   Processing "), UString::npos);
  EXPECT_EQ(h.Dialog->mProgress.Text().find(u"* Done"), UString::npos);
  EXPECT_TRUE(h.DownloadFiles().empty());
  EXPECT_FALSE(h.Dialog->adcUpd.Connected());

  h.Dialog->mProgress.Clear();
  EXPECT_THROW(RunLocal(h.Dir / "truncated.zip"), EZipError);
  EXPECT_TRUE(h.DownloadFiles().empty());
  EXPECT_TRUE(h.Core->Server.RecordedStatements.empty());
}

TEST_F(RunUpdateTest, PackageTableWithoutAnEnabledColumnFailsCleanly) {
  // The database's column State renamed to Stat_ in a copy, packed into a new archive.
  TBytes db = ReadBytes(fs::path(ZORVIK_FIXTURES) / "mdb" / "callbook-tiny.mdb");
  const std::uint8_t from[] = {'S', 0, 't', 0, 'a', 0, 't', 0, 'e', 0};
  auto at = std::search(db.begin(), db.end(), std::begin(from), std::end(from));
  ASSERT_NE(at, db.end());
  at[8] = '_';
  WriteBytes(h.Dir / "nostate.zip", BuildArchive({TTestMember{"DB.mdb", db}}));
  h.Import(kTinyHost);
  h.UseFields({4});
  try {
    RunLocal(h.Dir / "nostate.zip");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, u"Field 'State' not found");
  }
  EXPECT_TRUE(h.DownloadFiles().empty());
  EXPECT_FALSE(h.Dialog->adcUpd.Connected());
  EXPECT_EQ(h.Core->Server.OpenHandles(), 0u);
}

TEST_F(RunUpdateTest, HostFailureAtRowKeepsEarlierStatements) {
  h.Import(kTinyHost);
  h.UseFields({1, 2, 3, 5});
  h.Core->Faults.FailCall({"ExecSQL", 3, E_FAIL, u"zorvik-host", u"disk I/O error"});
  try {
    RunLocal(h.Package("tiny.zip"));
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message, u"disk I/O error");
  }
  EXPECT_EQ(h.Core->Server.RecordedStatements.size(), 2u);
  EXPECT_EQ(h.Row(u"Q0AAA")[5], O(u"Q0XYZ"));
  EXPECT_EQ(h.Row(u"Q0ABC")[1], O(u" Alan "));
  EXPECT_EQ(h.Row(u"Q0APO")[1], N) << "the failed statement changed nothing";
  EXPECT_EQ(h.Core->Server.OpenHandles(), 0u);
  EXPECT_TRUE(h.DownloadFiles().empty());
  EXPECT_FALSE(h.Dialog->adcUpd.Connected());
  EXPECT_EQ(h.Core->Kernel.Value(u"REFRESH"), u"") << "no REFRESH value after an error";
}

TEST_F(RunUpdateTest, FieldBoxesAreReadAfreshForEveryRow) {
  h.Import(kTinyHost);
  h.UseFields({5});
  // After the second row's progress report, a person unticks QSL via and ticks Name.
  int reports = 0;
  h.Dialog->psProgress.SetChangeListener([&] {
    if (++reports == 2) {
      h.Dialog->cgUseFields.SetChecked(5, false);
      h.Dialog->cgUseFields.SetChecked(1, true);
    }
  });
  ASSERT_TRUE(RunLocal(h.Package("tiny.zip")));
  const auto& sent = h.Core->Server.RecordedStatements;
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0], u"UPDATE CALLBOOK SET QSLMANAGER='Q0XYZ' WHERE OMCALL='Q0AAA'");
  for (std::size_t i = 1; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].find(u"QSLMANAGER"), UString::npos);
    EXPECT_EQ(sent[i].find(u"Use_BUREAU"), UString::npos);
  }
  EXPECT_EQ(h.Row(u"Q0ABC")[1], O(u" Alan "));
}

TEST_F(RunUpdateTest, ProgressAndElapsedTime) {
  h.UseFields({1});
  h.Dialog->ShowProgress(0.999L);
  EXPECT_EQ(h.Dialog->psProgress.Percent(), 99);
  h.Dialog->ShowProgress(1);
  EXPECT_EQ(h.Dialog->psProgress.Percent(), 100);
  h.Dialog->mProgress.Clear();
  h.Dialog->MsgProgress(1, u"Processing ", false);
  h.Dialog->MsgProgress(2, u"a", false);
  h.Dialog->MsgProgress(0, u"b", true);
  h.Dialog->MsgProgress(2, u"c", true);
  EXPECT_EQ(h.Dialog->mProgress.Text(), u"   Processing       ab\r\n      c\r\n");
  EXPECT_EQ(h.Dialog->mProgress.TopLine(), 1) << "the last line is in view";

  // 25 hours pass across a wrap of the tick counter.
  std::uint32_t ticks[] = {0xFFFFFF00u, 0xFFFFFF00u + 90000000u};
  int n = 0;
  SetTickCountSource([&] { return ticks[std::min(n++, 1)]; });
  h.Dialog->mProgress.Clear();
  ASSERT_TRUE(RunLocal(h.Package("nodb.zip")));
  EXPECT_NE(h.Dialog->mProgress.Text().find(u"* Done. Elapsed time 01:00:00"), UString::npos);
  EXPECT_EQ(h.LogLines().back().substr(h.LogLines().back().size() - 10), u"(01:00:00)");
}

TEST_F(RunUpdateTest, SignatureTestDecodesByByteOrderMark) {
  struct Case {
    const char* name;
    TBytes bytes;
    bool passes;
  };
  const Case cases[] = {
      {"local header", {0x50, 0x4B, 0x03, 0x04}, true},
      {"empty archive", {0x50, 0x4B, 0x05, 0x06}, true},
      {"spanning marker", {0x50, 0x4B, 0x07, 0x08, 0xFF}, true},
      {"self-extracting", {'M', 'Z', 0x50, 0x4B, 0x03, 0x04}, false},
      {"empty", {}, false},
      {"UTF-8 mark alone", {0xEF, 0xBB, 0xBF, 0x50, 0x4B, 0x03, 0x04}, true},
      {"UTF-8 mark then invalid byte", {0xEF, 0xBB, 0xBF, 0x50, 0x4B, 0x03, 0x04, 0xFF}, false},
      {"UTF-16LE mark", {0xFF, 0xFE, 0x50, 0, 0x4B, 0, 0x05, 0, 0x06, 0, 0xFF, 0xD8}, true},
      {"UTF-16BE mark", {0xFE, 0xFF, 0, 0x50, 0, 0x4B, 0, 0x03, 0, 0x04}, true},
      {"UTF-16LE mark, plain bytes", {0xFF, 0xFE, 0x50, 0x4B, 0x03, 0x04}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PassesZipSignatureTest(c.bytes.data(), c.bytes.size()), c.passes);
    fs::path file = h.Dir / "sig.bin";
    WriteBytes(file, c.bytes);
    std::unique_ptr<TStream> stream;
    EXPECT_EQ(h.Dialog->OpenLocalPackage(Utf8ToUString(file.string()), stream), c.passes);
    EXPECT_EQ(stream != nullptr, c.passes);
    if (stream) {
      EXPECT_EQ(stream->Position(), 0);
      EXPECT_EQ(stream->Size(), static_cast<std::int64_t>(c.bytes.size()));
    }
  }
}

TEST_F(RunUpdateTest, ConnectingTwiceKeepsOneConnection) {
  UString a = Utf8ToUString((fs::path(ZORVIK_FIXTURES) / "mdb" / "callbook-tiny.mdb").string());
  UString b = Utf8ToUString((fs::path(ZORVIK_FIXTURES) / "mdb" / "callbook-extra.mdb").string());
  h.Dialog->ConnectPackage(h.Dialog->adcUpd, a);
  h.Dialog->ConnectPackage(h.Dialog->adcUpd, b);
  EXPECT_EQ(h.Dialog->adcUpd.FileName(), b);
  h.Dialog->DisconnectPackage(h.Dialog->adcUpd);
  h.Dialog->DisconnectPackage(h.Dialog->adcUpd);
  auto log = h.LogLines();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[log.size() - 4], u"Connect updates: " + a);
  EXPECT_EQ(log[log.size() - 3], u"Connect updates: " + b);
  EXPECT_EQ(log[log.size() - 1], u"Disconnect updates.");
  try {
    h.Dialog->ConnectPackage(h.Dialog->adcUpd, Utf8ToUString((h.Dir / "missing.mdb").string()));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.ClassName(), u"Exception") << "a plain error that keeps only the message";
    EXPECT_NE(e.Message.find(u"missing.mdb"), UString::npos);
  }
  EXPECT_EQ(h.LogLines().size(), log.size()) << "no log line for a failed connect";
}

}  // namespace
