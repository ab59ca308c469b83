// The real zorvik-host program with the real module.
#include <gtest/gtest.h>

#include <fstream>

#include "host/HostTestUtil.h"
#include "host/HostUpdate.h"

namespace {

struct TRun {
  int code;
  std::string out, err;
};

struct CommandLine : ::testing::Test {
  TTempDir dir;
  TRun Run(const std::string& args) {
    std::string cmd = std::string(ZORVIK_BIN_DIR "/zorvik-host --data '") + dir.Path().string() + "' " + args + " >'" +
                      dir.File("out") + "' 2>'" + dir.File("err") + "'";
    int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir.File("out")), ReadFile(dir.File("err"))};
  }
};

TEST_F(CommandLine, PluginsListsTheModuleAndItsMenuItem) {
  TRun r = Run("plugins");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("{2495F41E-7FFE-43CB-9347-0A44F6BE6B0E}"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Name:     Update Callbook with Zorvik data\n"), std::string::npos);
  EXPECT_NE(r.out.find("Version:  1.04.019 (1905)\n"), std::string::npos);
  EXPECT_NE(r.out.find("Caption: Update Callbook with Zorvik data\n"), std::string::npos);
  EXPECT_NE(r.out.find("Hint:    Refresh internal Callbook - use updates from Zorvik ("), std::string::npos);
}

TEST_F(CommandLine, SwitchesAndFailuresGiveNonZeroExitCodes) {
  TRun old = Run("--host-version 104018 plugins");
  EXPECT_EQ(old.code, 1);
  EXPECT_NE(old.err.find("0x8000FFFF"), std::string::npos) << old.err;

  TRun click = Run("--withhold IHostKernel click");
  EXPECT_EQ(click.code, 1);
  EXPECT_NE(click.out.find("0x80046559, source pluginsystem.TPluginMenuItem"), std::string::npos) << click.out;

  TRun fail = Run("--fail SetHint:0:0x80004005:no plugins");
  EXPECT_EQ(fail.code, 1);

  for (const char* usage : {"", "frobnicate", "--withhold ICore plugins", "--fail X plugins", "callbook show",
                            "plugins extra", "--data"})
    EXPECT_EQ(Run(usage).code, 2) << usage;
  EXPECT_EQ(Run("--module /nonexistent/Nothing.ext plugins").code, 1);
}

TEST_F(CommandLine, CallbookImportShowAndExport) {
  WriteFile(dir.File("in.csv"), "OMCALL,OMNAME\nQ0B,Bee\nQ0A,Ay\n");
  ASSERT_EQ(Run("callbook import '" + dir.File("in.csv") + "'").code, 0);
  TRun show = Run("callbook show Q0B");
  ASSERT_EQ(show.code, 0);
  EXPECT_NE(show.out.find("\nQ0B\tBee\t"), std::string::npos) << show.out;
  EXPECT_EQ(show.out.find("Q0A"), std::string::npos);
  EXPECT_EQ(Run("callbook show Q0Z").code, 1);
  TRun all = Run("callbook export");
  EXPECT_LT(all.out.find("\nQ0A\t"), all.out.find("\nQ0B\t"));
}

}  // namespace

namespace {

TEST_F(CommandLine, UpdateRunsTheSampleThroughTheDialog) {
  TRun first = Run("update");
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_NE(first.out.find("* Use: "), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("   Processing with 14 records in update\n"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("   Updated 11 records of 13 total\n"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("Rows walked:      13\nStatements sent:  11\nRows changed:     13\n"), std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("the update run succeeded"), std::string::npos);
  EXPECT_NE(first.err.find("now holds the sample callbook"), std::string::npos) << first.err;

  // The callbook is no longer empty: it is not filled again, and the merge finds less to do.
  TRun second = Run("update --fields name");
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(second.err.find("sample callbook"), std::string::npos);
  // Only Q0APO's name is sent again: quoting collapses its runs of apostrophes, so the
  // stored name stays shorter than the package's.
  EXPECT_NE(second.out.find("Statements sent:  1\n"), std::string::npos) << second.out;
  TRun row = Run("callbook show Q0ABC");
  EXPECT_NE(row.out.find("Q0ABC\t Alan \tSpringfield\tLO00AA\tNY\t\\N\t1"), std::string::npos) << row.out;
}

TEST_F(CommandLine, UpdateFailuresExitNonZero) {
  TRun missing = Run("update --local /nonexistent/DB.zip");
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("no package file"), std::string::npos) << missing.err;
  std::ofstream(dir.File("not.zip")) << "MZ not an archive";
  TRun notZip = Run("update --local '" + dir.File("not.zip") + "'");
  EXPECT_EQ(notZip.code, 1);
  EXPECT_NE(notZip.err.find("Resource open error: "), std::string::npos) << notZip.err;
  EXPECT_NE(notZip.out.find("the update run failed"), std::string::npos);
  EXPECT_EQ(Run("update --fields name,colour").code, 2);
  EXPECT_EQ(Run("update --local a.zip --internet http://x/").code, 2);
}

TEST_F(CommandLine, PreviewThenUpdateThenHistoryAndUndo) {
  ASSERT_EQ(Run("callbook import '" + UStringToUtf8(ExamplesDir()) + "/sample-callbook.tsv'").code, 0);
  const std::string before = Run("callbook export").out;

  const std::string local = " --local '" + UStringToUtf8(SamplePackageCopy()) + "'";
  TRun preview = Run("update --preview --preview-file '" + dir.File("changes.tsv") + "'" + local);
  ASSERT_EQ(preview.code, 0) << preview.err;
  EXPECT_NE(preview.out.find("  Name filled or lengthened: "), std::string::npos) << preview.out;
  EXPECT_EQ(preview.err.find("\r"), std::string::npos) << "a progress line was drawn on a file";
  EXPECT_EQ(Run("callbook export").out, before);
  EXPECT_EQ(ReadFile(dir.File("changes.tsv")).rfind("OMCALL\tCOLUMN\tOLD\tNEW\n", 0), 0u);
  EXPECT_NE(Run("history").out.find("no runs yet"), std::string::npos);

  TRun update = Run("update" + local);
  ASSERT_EQ(update.code, 0) << update.err;
  EXPECT_NE(update.out.find("Journal run:      1\n"), std::string::npos) << update.out;
  const std::string after = Run("callbook export").out;
  TRun history = Run("history");
  ASSERT_EQ(history.code, 0);
  EXPECT_NE(history.out.find("\n1\tupdate\t"), std::string::npos) << history.out;
  EXPECT_NE(history.out.find("\tsucceeded\t11\t13\t"), std::string::npos) << history.out;

  TRun undo = Run("undo");
  ASSERT_EQ(undo.code, 0) << undo.err;
  EXPECT_NE(undo.out.find("Undo run 2 took back run 1: "), std::string::npos) << undo.out;
  EXPECT_EQ(Run("callbook export").out, before);
  // Undoing run 1 again finds none of its values in place and leaves every row alone.
  TRun again = Run("undo 1");
  EXPECT_NE(again.out.find(" rows restored (0 values)"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("\n  Q0ABC  OMNAME holds \"Al\", run 1 left \" Alan \""), std::string::npos)
      << again.out;
  EXPECT_EQ(Run("undo 2").code, 0);
  EXPECT_EQ(Run("callbook export").out, after);

  for (const char* usage : {"undo x", "undo 1 2", "history 1", "--preview-file f update", "--preview --no-journal update"})
    EXPECT_EQ(Run(usage).code, 2) << usage;
  EXPECT_EQ(Run("undo 99").code, 1);
}

}  // namespace
