// The statements of the plug-in's Jet SQL that the host understands, parsed into their
// parts so that every value is bound, never pasted into SQL.
//
// A text literal stands between apostrophes or between quotation marks and holds its
// characters unchanged: it ends at the next occurrence of its own quote character.
// TRUE and FALSE are Boolean literals. Keywords and column names ignore ASCII case.
#pragma once

#include <optional>
#include <vector>

#include "platform/UStrings.h"

// The host callbook's columns, in table order.
enum class TCallbookColumn { OMCALL, OMNAME, OMQTH, GRIDSQUARE, STATE, QSLMANAGER, Use_BUREAU };
constexpr int kCallbookColumnCount = 7;
// The column's name as the table spells it.
const char16_t* CallbookColumnName(int column);
// The column with this name, ignoring ASCII case; nothing for another name.
std::optional<int> FindCallbookColumn(UStringView name);
// Use_BUREAU is Boolean; every other column holds text.
inline bool IsBooleanColumn(int column) { return column == static_cast<int>(TCallbookColumn::Use_BUREAU); }

struct TCallbookValue {
  bool IsBoolean = false;
  bool Boolean = false;
  UString Text;
};

// UPDATE CALLBOOK SET col=value[,col=value]... WHERE OMCALL=value
struct TCallbookUpdate {
  std::vector<int> Columns;  // in the order of the SET list
  std::vector<TCallbookValue> Values;
  UString Call;  // the WHERE value
};

// SELECT * FROM CALLBOOK [WHERE OMCALL=value] [ORDER BY OMCALL]
struct TCallbookSelect {
  std::optional<UString> Call;
  bool OrderByCall = false;
};

// Parse the two forms. Anything else raises EHostError with DB_E_ERRORSINCOMMAND and a
// description that says what is wrong and quotes the statement.
TCallbookUpdate ParseCallbookUpdate(UStringView sql);
TCallbookSelect ParseCallbookSelect(UStringView sql);
