// The host's callbook: table CALLBOOK with the columns of JetSql.h, one store per
// platform behind this interface.
//  - SQLite (POSIX): a database with WAL journaling.
//  - A TSV file (Windows, which has no SQLite here): the rows live in memory and are
//    written back whole, through the safe whole-file replacement, when committed.
//
// The walk of a query and the statements of a run share the one store. Statements are
// grouped into transactions: a transaction is committed once it is five seconds old,
// and whenever Commit is called (the host does so when a query is closed or freed, and at
// exit). Walks see uncommitted changes, so the plug-in sees no difference.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/JetSql.h"
#include "platform/UStrings.h"

// One value a statement changed: the callbook row it belongs to (a number that stays
// with the row), the row's callsign, the column, and the value before and after; nothing
// stands for NULL and Use_BUREAU reads "0" or "1".
struct TValueChange {
  std::int64_t Row = 0;
  std::optional<UString> Call;
  int Column = 0;
  std::optional<UString> Old, New;
  bool operator==(const TValueChange&) const = default;
};

// The number of changed values per column, in table order.
using TColumnCounts = std::array<std::int64_t, kCallbookColumnCount>;

// Whether a change filled or lengthened its column, as the plug-in's merge means to: the
// new text is longer, leading and trailing characters up to U+0020 aside and counted in
// UTF-16 units, than the old (NULL counts as empty); a QSL manager set, whatever its
// length; or the bureau flag set. A
// callsign that several rows share can receive a value meant for another of them.
bool FillsOrLengthens(int column, std::optional<std::string_view> before, std::optional<std::string_view> after);
// The same for UTF-16 text; nothing stands for NULL, and the flag reads "1" when set.
bool FillsOrLengthens(int column, const std::optional<UString>& before, const std::optional<UString>& after);
// The length the rule compares: UTF-16 units of the UTF-8 text without the characters up
// to U+0020 around it.
std::size_t TrimmedUtf16Length(std::string_view utf8);

// The values a preview changed, in the order they changed, kept compactly and read on
// demand: a run can change a million values.
class TChangeSet {
 public:
  // The values changed per column, and of them those that did not fill or lengthen it.
  TColumnCounts Counts{}, Otherwise{};
  std::int64_t Size() const {
    std::int64_t n = 0;
    for (std::int64_t c : Counts) n += c;
    return n;
  }
  // Calls visit with each change, in order, until it returns false.
  void ForEach(const std::function<bool(const TValueChange&)>& visit) const;
  std::vector<TValueChange> All() const {
    std::vector<TValueChange> all;
    all.reserve(static_cast<std::size_t>(Size()));
    ForEach([&](const TValueChange& c) {
      all.push_back(c);
      return true;
    });
    return all;
  }

 private:
  friend class TCallbookDb;
  std::string FEncoded;             // the SQLite store's records
  std::vector<TValueChange> FList;  // the file store's changes
};

// A run as the journal keeps it. Times are local, "yyyy-mm-dd hh:nn:ss".
struct TJournalRun {
  std::int64_t Number = 0;
  UString Kind;  // "update" or "undo"
  UString Started;
  UString Ended;   // empty when the run never ended (the program was stopped)
  UString Source;  // what the run read its package from
  UString Fields;  // the fields that could change
  UString Result;  // "succeeded" or "failed"; empty when the run never ended
  std::int64_t Statements = 0, RowsChanged = 0, ValuesChanged = 0;
  std::optional<std::int64_t> Undoes;  // the run an undo took back
};

// A row an undo left alone: a value no longer what the run left there.
struct TUndoConflict {
  std::int64_t Row = 0;
  std::optional<UString> Call;
  int Column = 0;
  std::optional<UString> Expected;  // the run's after-image
  std::optional<UString> Found;     // what the row holds now
  bool Missing = false;             // the row is no longer in the callbook
};

struct TUndoOutcome {
  std::int64_t Run = 0;     // the undo's own journal number
  std::int64_t Undone = 0;  // the run it took back
  std::int64_t RowsRestored = 0, ValuesRestored = 0;
  std::vector<TUndoConflict> Conflicts;  // one per row left alone, in the run's order
};

// One callbook row for import: a value per column, nothing for NULL. Use_BUREAU is "1"
// or "0" when present.
using TCallbookRow = std::array<std::optional<UString>, kCallbookColumnCount>;

class TCallbookDb {
 public:
  // The store's file name in the host's data folder.
  static const char16_t* const FileName;

  // Opens or creates the store's file. Raises EHostError naming the file when it cannot
  // be opened or is not a callbook.
  explicit TCallbookDb(UStringView path);
  // Commits what is pending.
  ~TCallbookDb();
  TCallbookDb(const TCallbookDb&) = delete;
  TCallbookDb& operator=(const TCallbookDb&) = delete;

  // A live walk over the rows of a select, in OMCALL order when asked.
  class TCursor {
   public:
    TCursor(TCallbookDb& db, const TCallbookSelect& select);
    ~TCursor();
    TCursor(const TCursor&) = delete;
    TCursor& operator=(const TCursor&) = delete;
    // To the first row; Eof when there is none.
    void First();
    void Next();
    bool Eof() const { return !FOnRow; }
    // The number of rows the select yields, counted once.
    std::int64_t Count();
    bool IsNull(int column) const;
    // The column's text in UTF-16 units; valid until the cursor moves.
    UStringView Text(int column) const;
    // The column's text as stored, in UTF-8, without a conversion; valid until the cursor
    // moves or Text is asked for the same column.
    std::string_view Utf8(int column) const;

   private:
    struct TState;  // the store's own
    TCallbookDb& FDb;
    TCallbookSelect FSelect;
    std::unique_ptr<TState> FState;
    std::optional<std::int64_t> FCount;
    bool FOnRow = false;
  };

  std::unique_ptr<TCursor> Select(const TCallbookSelect& select) { return std::make_unique<TCursor>(*this, select); }

  // Runs one update with bound values; returns the number of rows changed.
  int Exec(const TCallbookUpdate& update);
  // Appends the rows that next yields, in one transaction of their own: all or none.
  // next fills the row and returns false when there are no more.
  void Insert(const std::function<bool(TCallbookRow& row)>& next);
  // Commits the open transaction, if any.
  void Commit();

  const UString& Path() const { return FPath; }

  // ---- Journal and preview ----
  //
  // A journal run records every value the statements between BeginRun and EndRun change,
  // with its before- and after-image, in the same transactions as the changes, so that a
  // stopped program loses both or neither. Only one run or preview is open at a time.

  // Whether this store keeps a journal on disk; a store that does not still counts a
  // run's changes, but history and undo raise EHostError.
  bool KeepsJournal() const;
  // Commits what is pending and opens a run; returns its number (0 when the store keeps
  // no journal).
  std::int64_t BeginRun(UStringView kind, UStringView source, UStringView fields,
                        std::optional<std::int64_t> undoes = std::nullopt);
  // Records what the open run read its package from and which fields it could change,
  // once they are known.
  void SetRunChoices(UStringView source, UStringView fields);
  // Closes the open run with its result and figures, commits, and returns the values it
  // changed per column.
  TColumnCounts EndRun(bool succeeded, std::int64_t statements, std::int64_t rowsChanged,
                       TColumnCounts* otherwise = nullptr);
  // Commits what is pending; the statements that follow are applied, so that walks see
  // them, inside one transaction that EndPreview rolls back.
  void BeginPreview();
  // Rolls the preview back, leaving the file as it was, and returns every value its
  // statements changed, in the order they changed.
  TChangeSet EndPreview();
  // Whether a run or preview is open.
  bool Recording() const;
  // The runs, newest first.
  std::vector<TJournalRun> Runs();
  // The values a run changed, in the order they changed. Raises EHostError for a run
  // the journal does not hold.
  std::vector<TValueChange> Changes(std::int64_t run);
  // Takes back a run (the newest update run not yet undone when none is named): every
  // row that still holds the run's after-image gets its before-image back; the other
  // rows are left alone and listed. The undo is a journal run of its own.
  TUndoOutcome Undo(std::optional<std::int64_t> run = std::nullopt);

  struct TStore;  // the store's own, opaque here

 private:
  friend class TCursor;
  UString FPath;
  std::unique_ptr<TStore> FStore;
};
