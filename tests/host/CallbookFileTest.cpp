// Importing and exporting callbook files.
#include <gtest/gtest.h>

#include "host/CallbookFile.h"
#include "host/HostTestUtil.h"

namespace {

struct CallbookFile : THostFixture {
  TCallbookDb& db() { return host->Server.Db(); }
  std::string Export() {
    std::ostringstream out;
    auto c = db().Select({std::nullopt, true});
    ExportCallbookTsv(*c, out);
    return out.str();
  }
  void Import(const std::string& text, const char* name = "in.txt") {
    WriteFile(dir.File(name), text);
    ImportCallbookFile(db(), U(dir.File(name)));
  }
};

constexpr char kHeader[] = "OMCALL\tOMNAME\tOMQTH\tGRIDSQUARE\tSTATE\tQSLMANAGER\tUse_BUREAU\n";

TEST_F(CallbookFile, CsvQuotesLineBreaksAndNullsSurviveTheRoundTrip) {
  Import("\xEF\xBB\xBFomcall,OMNAME,OMQTH,Use_BUREAU\r\n"
         "Q0B,\"Doe, \"\"JD\"\"\",\"line1\nline2\",yes\r\n"
         "Q0A,,\"\",0\r\n"
         "\n"
         "Q0C,Пётр,Tab\there,\n");
  std::string tsv = Export();
  EXPECT_EQ(tsv, std::string(kHeader) +
                     "Q0A\t\\N\t\t\\N\t\\N\t\\N\t0\n"
                     "Q0B\tDoe, \"JD\"\tline1\\nline2\t\\N\t\\N\t\\N\t1\n"
                     "Q0C\tПётр\tTab\\there\t\\N\t\\N\t\\N\t\\N\n");
  // The export reads back into an empty callbook as the same rows.
  TTempDir other;
  THostCore second(other.U16());
  second.Kernel.EchoLog = false;
  WriteFile(other.File("back.tsv"), tsv);
  ImportCallbookFile(second.Server.Db(), U(other.File("back.tsv")));
  std::ostringstream again;
  auto c = second.Server.Db().Select({std::nullopt, true});
  ExportCallbookTsv(*c, again);
  EXPECT_EQ(again.str(), tsv);
}

struct TBadFile {
  const char* name;
  std::string text;
  const char* mentions;
};

class CallbookBadFile : public CallbookFile, public ::testing::WithParamInterface<TBadFile> {};

TEST_P(CallbookBadFile, IsRefusedNamingTheLineAndNothingIsImported) {
  Import("OMCALL,OMNAME\nQ0OLD,Kept\n", "first.csv");
  std::string before = Export();
  try {
    Import(GetParam().text);
    FAIL() << "imported";
  } catch (const EHostError& e) {
    EXPECT_NE(UStringToUtf8(e.Message).find(GetParam().mentions), std::string::npos) << e.what();
  }
  EXPECT_EQ(Export(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CallbookBadFile,
    ::testing::Values(TBadFile{"Empty", "", "line 0"}, TBadFile{"UnknownColumn", "OMCALL,NOSUCH\nQ0A,x\n", "NOSUCH"},
                      TBadFile{"NoCallColumn", "OMNAME,OMQTH\nx,y\n", "OMCALL"},
                      TBadFile{"FieldCount", "OMCALL,OMNAME\nQ0A,x\nQ0B,y,z\n", "line 3"},
                      TBadFile{"BadBoolean", "OMCALL\tUse_BUREAU\nQ0A\tperhaps\n", "perhaps"},
                      TBadFile{"UnclosedQuote", "OMCALL,OMNAME\nQ0A,\"open\n", "not closed"},
                      TBadFile{"EmptyCall", "OMCALL\tOMNAME\nQ0A\tx\n\\N\ty\n", "line 3"},
                      TBadFile{"BadEscape", "OMCALL\tOMNAME\nQ0A\tx\\q\n", "line 2"},
                      TBadFile{"InvalidUtf8", "OMCALL,OMNAME\nQ0A,\xC3\x28\n", "UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
