// Quoting of SQL text literals for the statements sent to the host.
#pragma once

#include "platform/UStrings.h"

// Encloses value in apostrophes, or in quotation marks when it holds one. Runs of the
// chosen delimiter collapse to one, which then becomes the other quote character, so the
// result holds its delimiter only at its two ends. Nothing is doubled or escaped.
UString QuoteSQLLiteral(UStringView value);
