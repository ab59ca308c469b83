// The one statement form the query runs: SELECT * FROM <table> [ORDER BY <column>].
#pragma once

#include "platform/UStrings.h"

struct TJetSelect {
  UString Table;
  UString OrderBy;  // empty when the statement has no ORDER BY
};

// Reads the statement. Keywords are case-insensitive; names may be enclosed in
// [brackets]; blanks and one trailing ";" are allowed. Raises EDatabaseError saying what
// was expected, and where, for any other text.
TJetSelect ParseJetSelect(UStringView sql);
