#include "support/uCommFunc.h"

#include <gtest/gtest.h>

namespace {

struct QuoteCase {
  const char* name;
  UString value;
  UString quoted;
};

TEST(QuoteSQLLiteral, ChoosesDelimiterAndCollapsesRuns) {
  const QuoteCase cases[] = {
      {"empty", u"", u"''"},
      {"plain text with commas, blanks and Cyrillic", u"Ivan, \u0418\u0432\u0430\u043D  ",
       u"'Ivan, \u0418\u0432\u0430\u043D  '"},
      {"one apostrophe", u"O'Brien", u"'O\"Brien'"},
      {"doubled apostrophe", u"O''Brien", u"'O\"Brien'"},
      {"four apostrophes with a quotation mark inside", u"''''\"''''", u"\"'''''''''\""},
      {"four apostrophes", u"''''", u"'\"'"},
      {"quoted word", u"say \"hi\" now", u"\"say 'hi' now\""},
      {"doubled quotation mark between letters", u"a\"\"b", u"\"a'b\""},
      {"apostrophe then quotation mark", u"'\"", u"\"''\""},
      {"runs of quotation marks", u"\"\"\"x\"\"", u"\"'x'\""},
      {"column name as a value", u"\"OMCALL\"", u"\"'OMCALL'\""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteSQLLiteral(c.value), c.quoted) << c.name;
}

TEST(QuoteSQLLiteral, ResultHoldsItsDelimiterOnlyAtTheEnds) {
  const UString samples[] = {u"''a''b'", u"\"\"'\"x'", u"'\"'\"'", u"\"", u"'"};
  for (const auto& s : samples) {
    UString q = QuoteSQLLiteral(s);
    ASSERT_GE(q.size(), 2u);
    EXPECT_EQ(q.front(), q.back());
    EXPECT_EQ(q.substr(1, q.size() - 2).find(q.front()), UString::npos) << UStringToUtf8(q);
  }
}

}  // namespace
