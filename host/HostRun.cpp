#include "host/HostRun.h"

#include <ostream>

#include "host/CallbookFile.h"

THostRun::THostRun(THostCore& core, TMode mode, UStringView source, UStringView fields)
    : FCore(core), FMode(mode), FStatements0(core.Server.StatementsRun()), FRows0(core.Server.RowsChanged()) {
  TCallbookDb& db = core.Server.Db();
  if (mode == TMode::Journal) FNumber = db.BeginRun(u"update", source, fields);
  if (mode == TMode::Preview) db.BeginPreview();
}

THostRun::~THostRun() {
  if (!FOpen) return;
  try {
    Finish(false);
  } catch (...) {
  }
}

std::int64_t THostRun::Statements() const { return FCore.Server.StatementsRun() - FStatements0; }
std::int64_t THostRun::RowsChanged() const { return FCore.Server.RowsChanged() - FRows0; }

void THostRun::SetChoices(UStringView source, UStringView fields) {
  if (FOpen && FMode == TMode::Journal) FCore.Server.Db().SetRunChoices(source, fields);
}

void THostRun::Finish(bool succeeded) {
  if (!FOpen) return;
  FOpen = false;
  TCallbookDb& db = FCore.Server.Db();
  switch (FMode) {
    case TMode::Journal:
      FCounts = db.EndRun(succeeded, Statements(), RowsChanged(), &FOtherwise);
      break;
    case TMode::Preview:
      FChangeSet = db.EndPreview();
      FCounts = FChangeSet.Counts;
      FOtherwise = FChangeSet.Otherwise;
      break;
    case TMode::Plain:
      db.Commit();
      break;
  }
}

const std::vector<TValueChange>& THostRun::Changes() const {
  if (!FChanges) FChanges = FChangeSet.All();
  return *FChanges;
}

std::string GroupDigits(std::int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

std::vector<std::string> ColumnCountLines(const TColumnCounts& counts, const TColumnCounts& otherwise) {
  static const char* const kLabels[kCallbookColumnCount] = {
      "Callsign changed",          "Name filled or lengthened",  "QTH filled or lengthened",
      "Grid filled or lengthened", "State filled or lengthened", "QSL manager set",
      "Bureau flag set"};
  static const char* const kOtherLabels[kCallbookColumnCount] = {
      "", "Name replaced by one as long or shorter", "QTH replaced by one as long or shorter",
      "Grid replaced by one as long or shorter", "State replaced by one as long or shorter",
      "", "Bureau flag cleared"};
  std::vector<std::string> lines;
  for (int c = 0; c < kCallbookColumnCount; ++c) {
    const bool always = c >= 1 && c <= 5;
    const std::int64_t other = c == 0 ? 0 : otherwise[c];
    if (always || counts[c] != other) lines.push_back(std::string(kLabels[c]) + ": " + GroupDigits(counts[c] - other));
    if (other != 0) lines.push_back(std::string(kOtherLabels[c]) + ": " + GroupDigits(other));
  }
  return lines;
}

namespace {
void WriteChangeTsv(const TValueChange& c, std::ostream& out) {
  WriteTsvValue(out, c.Call);
  out << '\t' << UStringToUtf8(CallbookColumnName(c.Column)) << '\t';
  WriteTsvValue(out, c.Old);
  out << '\t';
  WriteTsvValue(out, c.New);
  out << '\n';
}
constexpr const char* kChangesHeader = "OMCALL\tCOLUMN\tOLD\tNEW\n";
}  // namespace

void WriteChangesTsv(const TChangeSet& changes, std::ostream& out) {
  out << kChangesHeader;
  changes.ForEach([&](const TValueChange& c) {
    WriteChangeTsv(c, out);
    return true;
  });
}

void WriteChangesTsv(const std::vector<TValueChange>& changes, std::ostream& out) {
  out << kChangesHeader;
  for (const TValueChange& c : changes) WriteChangeTsv(c, out);
}
