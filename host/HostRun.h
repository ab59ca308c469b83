// A click of a plug-in's item as a run of the callbook: journaled, previewed and rolled
// back, or neither; with its figures and the values it changed per column.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/CallbookDb.h"
#include "host/HostCore.h"

class THostRun {
 public:
  enum class TMode {
    Journal,  // the changes stay and the journal records them
    Preview,  // the changes are rolled back at the end and kept in Changes
    Plain,    // the changes stay and nothing records them (for measurements)
  };

  // Opens the run on the core's callbook. Raises EHostError when it cannot be opened.
  THostRun(THostCore& core, TMode mode, UStringView source, UStringView fields);
  // Ends a run not yet finished as failed; errors are swallowed.
  ~THostRun();
  THostRun(const THostRun&) = delete;
  THostRun& operator=(const THostRun&) = delete;

  // Records the run's source and fields once they are known (a person picks them in the
  // dialog after the run opened).
  void SetChoices(UStringView source, UStringView fields);
  // Ends the run: records its result, or rolls the preview back. Call once.
  void Finish(bool succeeded);

  TMode Mode() const { return FMode; }
  // The journal's number for the run; 0 when the run is not journaled.
  std::int64_t Number() const { return FNumber; }
  // Statements run and rows they changed since the run opened.
  std::int64_t Statements() const;
  std::int64_t RowsChanged() const;
  // After Finish: the values changed per column (all zero for a plain run).
  const TColumnCounts& Counts() const { return FCounts; }
  // Of those, the values that did not fill or lengthen their column.
  const TColumnCounts& Otherwise() const { return FOtherwise; }
  // After Finish, for a preview: every value the run would change, in order.
  const TChangeSet& ChangeSet() const { return FChangeSet; }
  // The same, read out once on first use.
  const std::vector<TValueChange>& Changes() const;

 private:
  THostCore& FCore;
  TMode FMode;
  std::int64_t FNumber = 0;
  std::int64_t FStatements0, FRows0;
  bool FOpen = true;
  TColumnCounts FCounts{}, FOtherwise{};
  TChangeSet FChangeSet;
  mutable std::optional<std::vector<TValueChange>> FChanges;
};

// The summary's line for each column a run changed or could change, e.g.
// "Name filled or lengthened: 1,204"; Use_BUREAU and OMCALL only when they changed. Values
// that did not fill or lengthen their column (otherwise) get a line of their own, e.g.
// "Grid replaced by one as long or shorter: 1".
std::vector<std::string> ColumnCountLines(const TColumnCounts& counts, const TColumnCounts& otherwise = {});
// n with a comma between groups of three digits.
std::string GroupDigits(std::int64_t n);
// Changes as TSV with the header OMCALL, COLUMN, OLD, NEW.
void WriteChangesTsv(const TChangeSet& changes, std::ostream& out);
void WriteChangesTsv(const std::vector<TValueChange>& changes, std::ostream& out);
