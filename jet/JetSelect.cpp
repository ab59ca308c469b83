#include "jet/JetSelect.h"

#include "jet/EDatabaseError.h"

namespace {

bool IsBlank(char16_t c) { return c <= u' '; }
bool IsNameChar(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
         c == u'_' || c == u'$' || c == u'#' || c == u'@' || c >= 0x80;
}

class TSelectReader {
 public:
  explicit TSelectReader(UStringView sql) : FSql(sql) {}

  void Keyword(UStringView word) {
    SkipBlanks();
    const std::size_t start = FPos;
    while (FPos < FSql.size() && IsNameChar(FSql[FPos])) ++FPos;
    if (!SameTextAscii(FSql.substr(start, FPos - start), word)) {
      FPos = start;
      Expected(word);
    }
  }
  bool TryKeyword(UStringView word) {
    const std::size_t saved = FPos;
    SkipBlanks();
    const std::size_t start = FPos;
    while (FPos < FSql.size() && IsNameChar(FSql[FPos])) ++FPos;
    if (SameTextAscii(FSql.substr(start, FPos - start), word)) return true;
    FPos = saved;
    return false;
  }
  void Symbol(char16_t c, UStringView what) {
    SkipBlanks();
    if (FPos >= FSql.size() || FSql[FPos] != c) Expected(what);
    ++FPos;
  }
  UString Name(UStringView what) {
    SkipBlanks();
    if (FPos < FSql.size() && FSql[FPos] == u'[') {
      const std::size_t close = FSql.find(u']', FPos + 1);
      if (close == UStringView::npos) Expected(u"']' closing the name");
      UString name(FSql.substr(FPos + 1, close - FPos - 1));
      if (Trim(name).empty()) Expected(what);
      FPos = close + 1;
      return name;
    }
    const std::size_t start = FPos;
    while (FPos < FSql.size() && IsNameChar(FSql[FPos])) ++FPos;
    if (FPos == start) Expected(what);
    return UString(FSql.substr(start, FPos - start));
  }
  // Accepts one optional ";" followed by blanks, then the end of the text.
  bool AtEnd() {
    const std::size_t saved = FPos;
    SkipBlanks();
    if (FPos < FSql.size() && FSql[FPos] == u';') ++FPos;
    SkipBlanks();
    if (FPos == FSql.size()) return true;
    FPos = saved;
    return false;
  }
  [[noreturn]] void Expected(UStringView what) {
    SkipBlanks();
    throw EDatabaseError(Format(
        u"Unsupported query: expected %s at position %d in \"%s\"; only SELECT * FROM "
        u"<table> [ORDER BY <column>] is supported.",
        {what, int(FPos + 1), FSql}));
  }

 private:
  void SkipBlanks() {
    while (FPos < FSql.size() && IsBlank(FSql[FPos])) ++FPos;
  }

  UStringView FSql;
  std::size_t FPos = 0;
};

}  // namespace

TJetSelect ParseJetSelect(UStringView sql) {
  TSelectReader r(sql);
  TJetSelect result;
  r.Keyword(u"SELECT");
  r.Symbol(u'*', u"'*'");
  r.Keyword(u"FROM");
  result.Table = r.Name(u"a table name");
  if (r.AtEnd()) return result;
  if (!r.TryKeyword(u"ORDER")) r.Expected(u"ORDER BY or the end of the query");
  r.Keyword(u"BY");
  result.OrderBy = r.Name(u"a column name");
  if (!r.AtEnd()) r.Expected(u"the end of the query");
  return result;
}
