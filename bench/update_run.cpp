// Whole-run benchmark of the update dialog on the reference host, in one process.
//
//   update_run make-callbook DB.mdb DATADIR
//     Builds DATADIR/callbook.db from the package's callsigns: about a fifth of the package
//     rows are left out, callsigns the package lacks fill the callbook up to 1,000,000
//     rows, and about 60% of the matched rows hold shorter, blank or missing values so
//     that they need an update. Rows go in shuffled, as a callbook grown over years would.
//   update_run run PACKAGE.zip DATADIR [--qsl]
//     Runs RunUpdate from the local package with Name, QTH, Grid and State checked (and
//     QSL via with --qsl), and prints each stage, the counts and peak memory.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "host/HostCore.h"
#include "jet/JetConnection.h"
#include "jet/JetQuery.h"
#include "platform/OleAuto.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kCallbookRows = 1000000;

// A small deterministic generator, so every callbook built from one package is the same.
struct TRandom {
  std::uint64_t State;
  std::uint64_t Next() {
    std::uint64_t z = (State += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [0, n).
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
};

bool Present(const std::optional<UString>& v) {
  if (!v) return false;
  for (char16_t c : *v)
    if (c > u' ') return true;
  return false;
}

// A host value that the run must replace with the package value p (present).
std::optional<UString> Stale(const UString& p, TRandom& rnd) {
  switch (rnd.Below(4)) {
    case 0:
      return std::nullopt;
    case 1:
      return UString();
    case 2:
      return UString(u"  ");
    default:
      return p.size() > 1 ? p.substr(0, p.size() - 1) : UString();
  }
}

// A host value that the run must leave alone against the package value p.
std::optional<UString> Current(const std::optional<UString>& p, TRandom& rnd) {
  if (!Present(p)) return rnd.Below(2) ? std::optional<UString>(u"X") : std::nullopt;
  switch (rnd.Below(3)) {
    case 0:
      return *p;
    case 1:
      return *p + u" Jr";
    default: {
      UString same = *p;  // as long, different text
      same[0] = same[0] == u'Z' ? u'Y' : u'Z';
      return same;
    }
  }
}

int MakeCallbook(const char* mdb, const char* dataDir) {
  TJetConnection db;
  db.Open(U("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(mdb) + ";"));
  TJetQuery q(db);
  q.SetSQL(u"SELECT * FROM CALLBOOK");
  q.Open();
  TJetField* pkg[6] = {&q.FieldByName(u"CALL"),  &q.FieldByName(u"Name"),  &q.FieldByName(u"QTH"),
                       &q.FieldByName(u"Grid"), &q.FieldByName(u"State"), &q.FieldByName(u"Manager")};
  TRandom rnd{20261209};
  std::vector<TCallbookRow> rows;
  rows.reserve(kCallbookRows);
  std::size_t stale = 0, matched = 0;
  for (q.First(); !q.Eof() && rows.size() < kCallbookRows; q.Next()) {
    if (rnd.Below(5) == 0) continue;  // in the package only
    ++matched;
    std::optional<UString> p[6];
    for (int c = 0; c < 6; ++c)
      if (!pkg[c]->IsNull()) p[c] = pkg[c]->AsString();
    TCallbookRow row;
    row[0] = p[0];
    for (int c = 1; c <= 4; ++c) row[std::size_t(c)] = Current(p[c], rnd);
    if (rnd.Below(10) < 6) {
      // One to three present fields go stale.
      int picked = 0;
      for (int tries = 0, want = 1 + int(rnd.Below(3)); tries < 8 && picked < want; ++tries) {
        int c = 1 + int(rnd.Below(4));
        if (!Present(p[c])) continue;
        row[std::size_t(c)] = Stale(*p[c], rnd);
        ++picked;
      }
      if (picked) ++stale;
    }
    if (rnd.Below(3) == 0) row[5] = UString(u"Q9MGR");
    row[6] = rnd.Below(4) == 0 ? std::optional<UString>(u"0") : std::nullopt;
    rows.push_back(std::move(row));
  }
  // Callsigns the package lacks: Q, a digit and five letters.
  for (std::uint32_t i = 0; rows.size() < kCallbookRows; ++i) {
    UString call = u"Q";
    call += static_cast<char16_t>(u'0' + i % 10);
    for (std::uint32_t n = i / 10, k = 0; k < 5; ++k, n /= 26) call += static_cast<char16_t>(u'A' + n % 26);
    TCallbookRow row;
    row[0] = call;
    row[1] = UString(u"Absent Op");
    row[2] = UString(u"Nowhere");
    rows.push_back(std::move(row));
  }
  for (std::size_t i = rows.size(); i > 1; --i) std::swap(rows[i - 1], rows[rnd.Below(static_cast<std::uint32_t>(i))]);

  TCallbookDb callbook(U(std::string(dataDir) + "/callbook.db"));
  std::size_t next = 0;
  callbook.Insert([&](TCallbookRow& row) {
    if (next == rows.size()) return false;
    row = std::move(rows[next++]);
    return true;
  });
  std::printf("callbook %zu rows: %zu in the package (%zu stale), %zu absent\n", rows.size(), matched, stale,
              rows.size() - matched);
  return 0;
}

// The host kernel as the dialog sees it, noting when each log line arrives: the package
// connection writes one as soon as the extracted database is opened.
class TStageKernel final : public THostPart<IHostKernel> {
 public:
  TStageKernel(THostCore& core, std::function<void()> onLog)
      : THostPart(core.Faults, core), FKernel(core.Kernel), FOnLog(std::move(onLog)) {}
  HRESULT ZSTDCALL AddToLog(BSTR text) override {
    FOnLog();
    return FKernel.AddToLog(text);
  }
  HRESULT ZSTDCALL ReportMessage(BSTR text, BSTR caption) override { return FKernel.ReportMessage(text, caption); }
  Z_HOST_RESERVED(3)
  Z_HOST_RESERVED(4)
  Z_HOST_RESERVED(5)
  Z_HOST_RESERVED(6)
  HRESULT ZSTDCALL SetValue(BSTR name, BSTR value) override { return FKernel.SetValue(name, value); }
  HRESULT ZSTDCALL GetValue(BSTR name, BSTR* value) override { return FKernel.GetValue(name, value); }

 private:
  THostKernel& FKernel;
  std::function<void()> FOnLog;
};

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

int Run(const char* package, const char* dataDir, bool qsl) {
  THostCore core(Utf8ToUString(dataDir));
  core.Kernel.EchoLog = false;
  core.Kernel.MessageHook = [](const UString& text, const UString&) {
    std::fprintf(stderr, "host message: %s\n", UStringToUtf8(text).c_str());
  };
  TfrmUpdZorvik dialog(&core);

  // Stage marks, in the order the run reaches them.
  enum { kStart, kProcessing, kConnected, kOpened, kFirstRow, kWalked, kDone, kEnd, kMarks };
  Clock::time_point mark[kMarks] = {};
  bool seen[kMarks] = {};
  auto note = [&](int m) {
    if (!seen[m]) seen[m] = true, mark[m] = Clock::now();
  };
  TStageKernel kernel(core, [&] {
    if (seen[kProcessing]) note(kConnected);
  });
  dialog.FHostKernel = ComPtr<IHostKernel>(&kernel);
  dialog.FHostServer = ComPtr<IHostServer>(&core.Server);
  dialog.Caption = u"Update Callbook with Zorvik data";
  for (int b = 0; b <= 5; ++b) dialog.cgUseFields.SetChecked(b, b <= 4 || qsl);
  dialog.mProgress.SetChangeListener([&] {
    const UString& t = dialog.mProgress.Text();
    if (!seen[kProcessing] && t.find(u"Processing ") != UString::npos) note(kProcessing);
    if (!seen[kOpened] && t.find(u" records in update") != UString::npos) note(kOpened);
    if (!seen[kWalked] && t.find(u"   Updated ") != UString::npos) note(kWalked);
    if (!seen[kDone] && t.find(u"* Done") != UString::npos) note(kDone);
  });
  // The progress bar first moves once the index is built and the first 1% of the rows is
  // walked; open+index below includes that 1%, so it errs against the run.
  dialog.psProgress.SetChangeListener([&] {
    if (seen[kOpened]) note(kFirstRow);
  });

  mark[kStart] = Clock::now();
  bool ok = dialog.RunUpdate(slLocal, Utf8ToUString(package));
  mark[kEnd] = Clock::now();
  dialog.FHostKernel = nullptr;
  dialog.FHostServer = nullptr;
  for (int m = kProcessing; m < kEnd; ++m)
    if (!seen[m]) {
      std::fprintf(stderr, "the run did not reach stage %d\n%s", m, UStringToUtf8(dialog.mProgress.Text()).c_str());
      return 1;
    }

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s", UStringToUtf8(dialog.mProgress.Text()).c_str());
  std::printf("\nresult %s, statements %lld, rows changed %lld\n", ok ? "true" : "false",
              static_cast<long long>(core.Server.StatementsRun()), static_cast<long long>(core.Server.RowsChanged()));
  std::printf("stage open package     %6.2f s\n", Seconds(mark[kStart], mark[kProcessing]));
  std::printf("stage extract          %6.2f s\n", Seconds(mark[kProcessing], mark[kConnected]));
  std::printf("stage open+load+sort   %6.2f s\n", Seconds(mark[kConnected], mark[kOpened]));
  std::printf("stage index+first 1%%   %6.2f s\n", Seconds(mark[kOpened], mark[kFirstRow]));
  std::printf("stage walk+statements  %6.2f s (the other 99%%)\n", Seconds(mark[kFirstRow], mark[kWalked]));
  std::printf("stage clean-up         %6.2f s\n", Seconds(mark[kWalked], mark[kEnd]));
  std::printf("open+index             %6.2f s\n", Seconds(mark[kConnected], mark[kFirstRow]));
  std::printf("whole run              %6.2f s\n", Seconds(mark[kStart], mark[kEnd]));
  std::printf("peak memory            %6ld MB\n", usage.ru_maxrss / 1024);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::strcmp(argv[1], "make-callbook") == 0) return MakeCallbook(argv[2], argv[3]);
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "run") == 0)
      return Run(argv[2], argv[3], argc == 5 && std::strcmp(argv[4], "--qsl") == 0);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", UStringToUtf8(e.Message).c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: update_run make-callbook DB.mdb DATADIR\n       update_run run PACKAGE.zip DATADIR [--qsl]\n");
  return 2;
}
