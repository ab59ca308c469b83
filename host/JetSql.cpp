#include "host/JetSql.h"

#include "host/HostFaults.h"

namespace {

constexpr const char16_t* kColumnNames[kCallbookColumnCount] = {u"OMCALL", u"OMNAME",     u"OMQTH",     u"GRIDSQUARE",
                                                                u"STATE",  u"QSLMANAGER", u"Use_BUREAU"};

enum class TTok { End, Word, Text, Symbol };

// A token's text points into the statement, which outlives the parser.
struct TToken {
  TTok Kind = TTok::End;
  UStringView Text;  // word, literal content or the symbol
};

bool IsWordChar(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
}

// Reads one statement token by token and names the statement in every error.
class TJetParser {
 public:
  explicit TJetParser(UStringView sql) : s_(sql) {}

  [[noreturn]] void Fail(UStringView why) const {
    constexpr std::size_t kShown = 300;
    UString shown(s_.substr(0, kShown));
    if (s_.size() > kShown) shown += u"...";
    throw EHostError(DB_E_ERRORSINCOMMAND, UString(u"The host cannot run the statement ") + u"\u00AB" + shown +
                                               u"\u00BB: " + UString(why) + u".");
  }

  TToken Next() {
    while (pos_ < s_.size() && s_[pos_] <= u' ') ++pos_;
    TToken t;
    if (pos_ >= s_.size()) return t;
    char16_t c = s_[pos_];
    if (c == u'\'' || c == u'"') {
      std::size_t end = s_.find(c, pos_ + 1);
      if (end == UStringView::npos) Fail(u"a text literal is not closed");
      t.Kind = TTok::Text;
      t.Text = s_.substr(pos_ + 1, end - pos_ - 1);
      pos_ = end + 1;
    } else if (IsWordChar(c)) {
      std::size_t start = pos_;
      while (pos_ < s_.size() && IsWordChar(s_[pos_])) ++pos_;
      t.Kind = TTok::Word;
      t.Text = s_.substr(start, pos_ - start);
    } else {
      t.Kind = TTok::Symbol;
      t.Text = s_.substr(pos_, 1);
      ++pos_;
    }
    return t;
  }

  void Keyword(UStringView word) {
    TToken t = Next();
    if (t.Kind != TTok::Word || !SameTextAscii(t.Text, word)) Fail(UString(u"expected ") + UString(word) + Found(t));
  }
  void Symbol(char16_t c) {
    TToken t = Next();
    if (t.Kind != TTok::Symbol || t.Text[0] != c) Fail(UString(u"expected \"") + c + u"\"" + Found(t));
  }
  int Column() {
    TToken t = Next();
    if (t.Kind != TTok::Word) Fail(u"expected a column name" + Found(t));
    auto col = FindCallbookColumn(t.Text);
    if (!col) Fail(u"CALLBOOK has no column " + UString(t.Text));
    return *col;
  }
  TCallbookValue Value() {
    TToken t = Next();
    TCallbookValue v;
    if (t.Kind == TTok::Text) {
      v.Text = UString(t.Text);
    } else if (t.Kind == TTok::Word && (SameTextAscii(t.Text, u"TRUE") || SameTextAscii(t.Text, u"FALSE"))) {
      v.IsBoolean = true;
      v.Boolean = SameTextAscii(t.Text, u"TRUE");
    } else {
      Fail(u"expected a text literal, TRUE or FALSE" + Found(t));
    }
    return v;
  }
  // The statement ends here; one closing semicolon is allowed.
  void End() {
    TToken t = Next();
    if (t.Kind == TTok::Symbol && t.Text == u";") t = Next();
    if (t.Kind != TTok::End) Fail(u"unexpected text after the end of the statement" + Found(t));
  }
  TToken Peek() {
    std::size_t keep = pos_;
    TToken t = Next();
    pos_ = keep;
    return t;
  }

  static UString Found(const TToken& t) {
    switch (t.Kind) {
      case TTok::End:
        return u", found the end";
      case TTok::Text:
        return u", found a text literal";
      default:
        return u", found \"" + UString(t.Text) + u"\"";
    }
  }

 private:
  UStringView s_;
  std::size_t pos_ = 0;
};

}  // namespace

const char16_t* CallbookColumnName(int column) { return kColumnNames[column]; }

std::optional<int> FindCallbookColumn(UStringView name) {
  static constexpr UStringView kNames[kCallbookColumnCount] = {u"OMCALL", u"OMNAME",     u"OMQTH",     u"GRIDSQUARE",
                                                              u"STATE",  u"QSLMANAGER", u"Use_BUREAU"};
  for (int i = 0; i < kCallbookColumnCount; ++i)
    if (SameTextAscii(name, kNames[i])) return i;
  return std::nullopt;
}

TCallbookUpdate ParseCallbookUpdate(UStringView sql) {
  TJetParser p(sql);
  TCallbookUpdate u;
  u.Columns.reserve(kCallbookColumnCount);
  u.Values.reserve(kCallbookColumnCount);
  p.Keyword(u"UPDATE");
  p.Keyword(u"CALLBOOK");
  p.Keyword(u"SET");
  for (;;) {
    int col = p.Column();
    for (int c : u.Columns)
      if (c == col) p.Fail(UString(u"column ") + CallbookColumnName(col) + u" is set twice");
    p.Symbol(u'=');
    TCallbookValue v = p.Value();
    if (IsBooleanColumn(col) != v.IsBoolean)
      p.Fail(UString(u"column ") + CallbookColumnName(col) +
             (v.IsBoolean ? u" holds text, not TRUE or FALSE" : u" takes TRUE or FALSE, not text"));
    u.Columns.push_back(col);
    u.Values.push_back(std::move(v));
    TToken t = p.Peek();
    if (t.Kind == TTok::Symbol && t.Text == u",") {
      p.Next();
      continue;
    }
    break;
  }
  p.Keyword(u"WHERE");
  if (p.Column() != static_cast<int>(TCallbookColumn::OMCALL)) p.Fail(u"only WHERE OMCALL=value is understood");
  p.Symbol(u'=');
  TCallbookValue call = p.Value();
  if (call.IsBoolean) p.Fail(u"OMCALL holds text, not TRUE or FALSE");
  u.Call = std::move(call.Text);
  p.End();
  return u;
}

TCallbookSelect ParseCallbookSelect(UStringView sql) {
  TJetParser p(sql);
  TCallbookSelect s;
  p.Keyword(u"SELECT");
  p.Symbol(u'*');
  p.Keyword(u"FROM");
  p.Keyword(u"CALLBOOK");
  TToken t = p.Peek();
  if (t.Kind == TTok::Word && SameTextAscii(t.Text, u"WHERE")) {
    p.Next();
    if (p.Column() != static_cast<int>(TCallbookColumn::OMCALL)) p.Fail(u"only WHERE OMCALL=value is understood");
    p.Symbol(u'=');
    TCallbookValue call = p.Value();
    if (call.IsBoolean) p.Fail(u"OMCALL holds text, not TRUE or FALSE");
    s.Call = std::move(call.Text);
    t = p.Peek();
  }
  if (t.Kind == TTok::Word && SameTextAscii(t.Text, u"ORDER")) {
    p.Next();
    p.Keyword(u"BY");
    if (p.Column() != static_cast<int>(TCallbookColumn::OMCALL)) p.Fail(u"only ORDER BY OMCALL is understood");
    s.OrderByCall = true;
  }
  p.End();
  return s;
}
