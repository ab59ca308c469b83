// A run of the sample package through the real host and the built module, with each host
// call the run makes failing in turn: every call of every method, not a sample. Whatever
// fails, the run ends with that error, the statements sent before it stay, no temporary
// file is left, the package database is closed and the dialog closes cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

#include "host/CallbookFile.h"
#include "host/HostAutomation.h"
#include "host/HostTestUtil.h"
#include "host/HostUpdate.h"
#include "host/ModuleLoader.h"
#include "ui/UiRuntime.h"

namespace {

namespace fs = std::filesystem;

constexpr char kInjected[] = "Injected failure of ";

// The callbook as TSV lines, one per row, in call order.
std::vector<std::string> CallbookLines(THostCore& host) {
  TCallbookSelect all;
  all.OrderByCall = true;
  auto cursor = host.Server.Db().Select(all);
  std::ostringstream tsv;
  ExportCallbookTsv(*cursor, tsv);
  std::vector<std::string> lines;
  std::istringstream in(tsv.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Files this process holds open under folder.
std::vector<std::string> OpenFilesUnder(const fs::path& folder) {
  std::vector<std::string> open;
  for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    fs::path target = fs::read_symlink(fd.path(), ec);
    if (!ec && target.string().rfind(folder.string(), 0) == 0) open.push_back(target.string());
  }
  return open;
}

struct TRunResult {
  bool ok = false;
  std::string out, err;
  std::vector<std::string> callbook;
  std::vector<UString> statements;  // those that ran
  std::size_t openQueries = 0;
  std::map<std::string, int, std::less<>> calls;  // by the run alone
  std::vector<std::string> downloads, openFiles;
  HRESULT unload = S_OK;
};

UString SampleCallbook() { return IncludeTrailingPathDelimiter(ExamplesDir()) + u"sample-callbook.tsv"; }

// The sample callbook after the first n statements of a run.
std::vector<std::string> SampleAfter(const std::vector<UString>& statements, std::size_t n) {
  TTempDir dir;
  THostCore host(dir.U16());
  host.Kernel.EchoLog = false;
  ImportCallbookFile(host.Server.Db(), SampleCallbook());
  for (std::size_t i = 0; i < n; ++i) {
    std::int32_t result = 0;
    EXPECT_EQ(host.Server.ExecSQL(BStr(statements[i]).Get(), &result), S_OK) << UStringToUtf8(statements[i]);
  }
  EXPECT_EQ(host.Server.CloseQuery(0), S_OK);
  return CallbookLines(host);
}

// One run on a fresh host holding the sample callbook, with fault planned when given.
TRunResult RunSample(const UString& package, const std::optional<THostFault>& fault) {
  TTempDir dir;
  TRunResult r;
  auto host = std::make_unique<THostCore>(dir.U16());
  host->Kernel.EchoLog = false;
  std::ostringstream out, err;
  host->Kernel.MessageHook = [&err](const UString& text, const UString& caption) {
    err << "[" << UStringToUtf8(caption) << "] " << UStringToUtf8(text) << "\n";
  };
  ImportCallbookFile(host->Server.Db(), SampleCallbook());
  host->Server.RecordStatements = true;
  TModuleLoader module(U(ZORVIK_BIN_DIR "/UpdZorvik.ext"), &host->Menus);
  EXPECT_EQ(module.Start(host.get()), S_OK);
  const auto before = host->Faults.AllCalls();
  if (fault) host->Faults.FailCall(*fault);
  TUpdateRequest request;
  request.Local = package;
  r.ok = RunUpdateJob(*host, request, out, err);
  for (const auto& [method, n] : host->Faults.AllCalls()) {
    auto it = before.find(method);
    if (int made = n - (it == before.end() ? 0 : it->second)) r.calls[method] = made;
  }
  r.out = out.str();
  r.err = err.str();
  r.statements = host->Server.RecordedStatements;
  r.openQueries = host->Server.OpenHandles();
  const fs::path downloads = fs::path(host->Kernel.DownloadDir());
  for (const auto& f : fs::directory_iterator(downloads)) r.downloads.push_back(f.path().filename().string());
  r.openFiles = OpenFilesUnder(downloads);
  r.unload = module.Unload();
  // What was committed, read back by a host of its own.
  host.reset();
  THostCore reopened(dir.U16());
  reopened.Kernel.EchoLog = false;
  r.callbook = CallbookLines(reopened);
  return r;
}

TEST(FaultAtEveryCall, TheRunEndsWithTheErrorAndLosesNothing) {
  const UString package = SamplePackageCopy();
  const TRunResult clean = RunSample(package, std::nullopt);
  ASSERT_TRUE(clean.ok) << clean.out << clean.err;
  ASSERT_GT(clean.statements.size(), 1u) << "the sample run must send statements for this test to mean anything";
  // The callbook after each prefix of the clean run's statements.
  std::vector<std::vector<std::string>> after;
  for (std::size_t n = 0; n <= clean.statements.size(); ++n) after.push_back(SampleAfter(clean.statements, n));
  ASSERT_EQ(after.back(), clean.callbook);
  ASSERT_NE(after.front(), clean.callbook);

  int positions = 0;
  for (const auto& [method, count] : clean.calls) {
    for (int nth = 1; nth <= count; ++nth) {
      ++positions;
      const std::string what = method + " call " + std::to_string(nth) + " of " + std::to_string(count);
      SCOPED_TRACE(what);
      THostFault fault;
      fault.Method = method;
      fault.Nth = nth;
      fault.Code = E_FAIL;
      fault.Description = U(kInjected + what);
      const TRunResult r = RunSample(package, fault);

      EXPECT_FALSE(r.ok) << "a failed host call was reported as success\n" << r.out << r.err;
      EXPECT_NE(r.err.find(kInjected + what), std::string::npos) << "the error was not shown\n" << r.out << r.err;
      // The statements sent before the failure stay, and nothing else was written.
      ASSERT_LE(r.statements.size(), clean.statements.size());
      EXPECT_TRUE(std::equal(r.statements.begin(), r.statements.end(), clean.statements.begin()))
          << "the run sent other statements than a clean run";
      EXPECT_EQ(r.callbook, after[r.statements.size()]) << "statements sent before the failure were lost";
      EXPECT_EQ(r.downloads, std::vector<std::string>{}) << "temporary files left behind";
      EXPECT_EQ(r.openFiles, std::vector<std::string>{}) << "the package database was left open";
      // Only a host that refused to free the query keeps it.
      EXPECT_EQ(r.openQueries, method == "FreeQuery" ? 1u : 0u) << "the module left host queries open";
      auto calls = [&](const char* m) { return r.calls.count(m) ? r.calls.at(m) : 0; };
      // A loop that did not start (its ModalStarted failed) has no end to report.
      EXPECT_EQ(calls("ModalFinished"), calls("ModalStarted") - (method == "ModalStarted" ? 1 : 0))
          << "the dialog did not close cleanly";
      EXPECT_EQ(ui_runtime::ActiveModalTarget(), nullptr) << "the dialog still runs";
      EXPECT_EQ(r.err.find("did not take the action"), std::string::npos) << r.err;
      EXPECT_EQ(r.unload, S_OK);
    }
  }
  EXPECT_GT(positions, 20) << "the sample run makes fewer host calls than expected";
  std::cout << "[          ] failed " << positions << " host calls, one run each\n";
}

// A run that ends before its file chooser opens must not leave its answer for the next
// job's chooser, which would then open a file the person never chose.
TEST(HostAutomation, AnAnswerNoChooserTookIsDroppedWithTheJob) {
  TTempDir dir;
  THostCore host(dir.U16());
  host.Kernel.EchoLog = false;
  {
    THostAutomation person(host, nullptr, nullptr);
    person.AnswerChooser(u"/gone/package.zip");
  }
  EXPECT_EQ(ui_runtime::RunFileChooser({}), std::nullopt);
}

}  // namespace
