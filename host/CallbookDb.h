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

#include "host/JetSql.h"
#include "platform/UStrings.h"

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

 private:
  friend class TCursor;
  struct TStore;  // the store's own
  UString FPath;
  std::unique_ptr<TStore> FStore;
};
