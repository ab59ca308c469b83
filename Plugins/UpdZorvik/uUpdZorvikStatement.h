// The text of the UPDATE statements the module sends to the host: values become text
// literals by the quote rule, so that a value never turns into SQL.
#pragma once

#include "platform/UStrings.h"

// Appends column=literal to an assignment list, with a comma before when it holds text.
void AppendAssignment(UString& list, UStringView column, UStringView value);
// Appends column=TRUE the same way.
void AppendTrueAssignment(UString& list, UStringView column);
// UPDATE CALLBOOK SET <list> WHERE OMCALL=<callsign as a literal>.
UString UpdateStatement(UStringView list, UStringView callsign);
