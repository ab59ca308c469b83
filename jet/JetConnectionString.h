// Reading an OLE DB connection string such as
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\db.mdb;".
#pragma once

#include <utility>
#include <vector>

#include "platform/UStrings.h"

// value as a connection string writes it: as it stands when it holds no separator, quote
// or outer blank, otherwise in double quotes with inner double quotes doubled.
UString QuoteConnectionValue(const UString& value);

// The key=value pairs of a connection string, in their order of appearance.
class TJetConnectionString {
 public:
  // Splits text into key=value pairs separated by ";". Keys and unquoted values lose
  // their surrounding blanks; a value enclosed in " or ' keeps everything inside, where
  // a doubled quote stands for one, and may contain ";" and "=". Empty pieces are
  // skipped. Raises EDatabaseError, naming the fault, for a piece without "=", an empty
  // key, an unterminated quote or text after a closing quote.
  explicit TJetConnectionString(UStringView text);

  // The value of the last pair whose key matches case-insensitively (ASCII), or nothing.
  const UString* Find(UStringView key) const;
  const std::vector<std::pair<UString, UString>>& Pairs() const { return FPairs; }

 private:
  std::vector<std::pair<UString, UString>> FPairs;
};
