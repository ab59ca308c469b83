// Callbook files for import and export.
//
// The first line names the columns (any of OMCALL, OMNAME, OMQTH, GRIDSQUARE, STATE,
// QSLMANAGER, Use_BUREAU, ignoring ASCII case; OMCALL is required). A file whose first
// line holds a tab is TSV, any other is CSV. Text is UTF-8.
//  - TSV: fields are separated by tabs; \N alone is NULL; \\, \t, \n and \r stand for a
//    backslash, tab, line feed and carriage return.
//  - CSV: fields are separated by commas; a field in quotation marks may hold commas,
//    line breaks and doubled quotation marks; an empty unquoted field is NULL, "" is
//    empty text.
// Use_BUREAU takes 1, 0, -1, true, false, yes or no; an empty value is NULL.
#pragma once

#include <ostream>

#include "host/CallbookDb.h"

// Whether every row of an imported file needs a callsign. The host's own store may hold
// rows without one, which the plug-in's statements can make.
enum class TCallRule { Required, Optional };

// Appends the rows of the file to the callbook, all or none. Raises EHostError naming the
// file, the line and what is wrong.
void ImportCallbookFile(TCallbookDb& db, UStringView path, TCallRule rule = TCallRule::Required);
// Writes one TSV field: \N for NULL, the text with its backslashes, tabs and line breaks
// escaped.
void WriteTsvValue(std::ostream& out, const std::optional<UString>& value);
// Writes the cursor's remaining rows as TSV, with a header line.
void ExportCallbookTsv(TCallbookDb::TCursor& cursor, std::ostream& out);
