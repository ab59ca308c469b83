// The plug-in's statements and queries against the real SQLite callbook.
#include <gtest/gtest.h>

#include <functional>

#include "host/CallbookFile.h"
#include "host/HostTestUtil.h"
#include "support/uCommFunc.h"

namespace {

struct CallbookSql : THostFixture {
  IHostServer& server = host->Server;

  void SetUp() override {
    TCallbookRow a{u"Q0ABC", u"Al", std::nullopt, u"LO00AA", std::nullopt, std::nullopt, u"0"};
    TCallbookRow b{u"Q0XYZ", u"Zed", u"Nowhere", std::nullopt, u"NY", u"Q0MGR", u"0"};
    std::vector<TCallbookRow> rows{b, a};
    std::size_t i = 0;
    host->Server.Db().Insert([&](TCallbookRow& r) {
      if (i == rows.size()) return false;
      r = rows[i++];
      return true;
    });
  }

  HRESULT Exec(UStringView sql, std::int32_t* changed = nullptr) {
    std::int32_t n = -1;
    BStr s(sql);
    HRESULT hr = server.ExecSQL(s.Get(), &n);
    if (changed) *changed = n;
    return hr;
  }

  // The callbook as TSV, committed state included.
  std::string Export() {
    std::ostringstream out;
    auto c = host->Server.Db().Select({std::nullopt, true});
    ExportCallbookTsv(*c, out);
    return out.str();
  }

  // One column of one callsign through the query interface; nothing for NULL.
  std::optional<UString> Field(UStringView call, UStringView column) {
    std::int32_t h = 0;
    EXPECT_EQ(server.CreateQuery(&h), S_OK);
    BStr sql(u"SELECT * FROM CALLBOOK WHERE OMCALL=\"" + UString(call) + u"\" ORDER BY OMCALL");
    EXPECT_EQ(server.OpenQuery(h, sql.Get()), S_OK);
    BStr value, col(column);
    std::int32_t result = -1;
    EXPECT_EQ(server.GetFieldValue(h, col.Get(), value.InOut(), &result), S_OK);
    EXPECT_EQ(server.CloseQuery(h), S_OK);
    EXPECT_EQ(server.FreeQuery(h), S_OK);
    return result ? std::optional<UString>(value.Text()) : std::nullopt;
  }
};

// Each value goes through the plug-in's quoting and a real statement; what is stored is
// the text between the delimiters, exactly as Jet reads it.
struct TQuoted {
  const char* name;
  UString value;
  UString stored;
};

class CallbookQuoting : public CallbookSql, public ::testing::WithParamInterface<TQuoted> {};

TEST_P(CallbookQuoting, StoresTheLiteralTextAndTouchesNothingElse) {
  const TQuoted& q = GetParam();
  std::int32_t changed = 0;
  ASSERT_EQ(Exec(u"UPDATE CALLBOOK SET OMNAME=" + QuoteSQLLiteral(q.value) + u" WHERE OMCALL=" +
                     QuoteSQLLiteral(u"Q0ABC"),
                 &changed),
            S_OK);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(Field(u"Q0ABC", u"OMNAME"), q.stored);
  EXPECT_EQ(Field(u"Q0XYZ", u"OMNAME"), UString(u"Zed"));
  EXPECT_EQ(Field(u"Q0ABC", u"OMQTH"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CallbookQuoting,
    ::testing::Values(TQuoted{"Empty", u"", u""}, TQuoted{"Plain", u"Springfield, OH", u"Springfield, OH"},
                      TQuoted{"Apostrophe", u"O'Brien", u"O\"Brien"}, TQuoted{"DoubledApostrophe", u"O''Brien", u"O\"Brien"},
                      TQuoted{"FourApostrophes", u"''''", u"\""}, TQuoted{"QuotedWord", u"say \"hi\" now", u"say 'hi' now"},
                      TQuoted{"DoubledQuotes", u"a\"\"b", u"a'b"}, TQuoted{"ApostropheThenQuote", u"'\"", u"''"},
                      TQuoted{"ColumnName", u"OMCALL", u"OMCALL"}, TQuoted{"QuotedColumnName", u"\"OMQTH\"", u"'OMQTH'"},
                      TQuoted{"Cyrillic", u"Москва, Ёжик", u"Москва, Ёжик"},
                      TQuoted{"InjectionAttempt", u"x', OMQTH='y", u"x\", OMQTH=\"y"},
                      TQuoted{"StatementInValue", u"\"; DROP TABLE CALLBOOK; --", u"'; DROP TABLE CALLBOOK; --"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CallbookSql, NameBetweenQuotationMarksIsTextNotAColumn) {
  ASSERT_EQ(Exec(u"UPDATE CALLBOOK SET OMNAME=\"OMCALL\",OMQTH='OMNAME' WHERE OMCALL=\"Q0ABC\""), S_OK);
  EXPECT_EQ(Field(u"Q0ABC", u"OMNAME"), UString(u"OMCALL"));
  EXPECT_EQ(Field(u"Q0ABC", u"OMQTH"), UString(u"OMNAME"));
}

TEST_F(CallbookSql, MergeStatementKeepsBlanksAndSetsTheBureauFlag) {
  std::int32_t changed = 0;
  ASSERT_EQ(Exec(u"UPDATE CALLBOOK SET OMNAME=' Alan ',OMQTH='Springfield',Use_BUREAU=TRUE WHERE OMCALL='Q0ABC'",
                 &changed),
            S_OK);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(Field(u"Q0ABC", u"OMNAME"), UString(u" Alan "));
  EXPECT_EQ(Field(u"Q0ABC", u"Use_BUREAU"), UString(u"True"));
  EXPECT_EQ(Field(u"Q0XYZ", u"Use_BUREAU"), UString(u"False"));
  // Keywords and names in any case, blanks around the signs, a closing semicolon.
  ASSERT_EQ(Exec(u"  update callbook set use_bureau = false , omqth = \"x\" where omcall = 'Q0ABC' ; ", &changed), S_OK);
  EXPECT_EQ(Field(u"Q0ABC", u"Use_BUREAU"), UString(u"False"));
  // A callsign that is not there changes nothing and is no error.
  ASSERT_EQ(Exec(u"UPDATE CALLBOOK SET OMNAME='n' WHERE OMCALL='Q0NONE'", &changed), S_OK);
  EXPECT_EQ(changed, 0);
  EXPECT_EQ(host->Server.StatementsRun(), 3);
  EXPECT_EQ(host->Server.RowsChanged(), 2);
}

struct TMalformed {
  const char* name;
  UString sql;
};

class CallbookMalformed : public CallbookSql, public ::testing::WithParamInterface<TMalformed> {};

TEST_P(CallbookMalformed, FailsNamingTheStatementAndChangesNothing) {
  std::string before = Export();
  HRESULT hr = Exec(GetParam().sql);
  TCallError e = LastError(hr);
  EXPECT_TRUE(Failed(hr));
  EXPECT_EQ(e.Source, kHostErrorSource);
  EXPECT_NE(e.Description.find(GetParam().sql.substr(0, 20)), UString::npos) << UStringToUtf8(e.Description);
  host->Server.Db().Commit();
  EXPECT_EQ(Export(), before);
  EXPECT_EQ(host->Server.StatementsRun(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, CallbookMalformed,
    ::testing::Values(
        TMalformed{"Empty", u""}, TMalformed{"UnterminatedLiteral", u"UPDATE CALLBOOK SET OMNAME='Al WHERE OMCALL=\"Q0ABC"},
        TMalformed{"DoubledApostropheIsNoEscape", u"UPDATE CALLBOOK SET OMNAME='O''Brien' WHERE OMCALL='Q0ABC'"},
        TMalformed{"UnknownColumn", u"UPDATE CALLBOOK SET NOSUCH='x' WHERE OMCALL='Q0ABC'"},
        TMalformed{"ColumnAsValue", u"UPDATE CALLBOOK SET OMNAME=OMQTH WHERE OMCALL='Q0ABC'"},
        TMalformed{"ExtraTokens", u"UPDATE CALLBOOK SET OMNAME='x' WHERE OMCALL='Q0ABC' OR 1=1"},
        TMalformed{"SecondStatement", u"UPDATE CALLBOOK SET OMNAME='x' WHERE OMCALL='Q0ABC'; DELETE FROM CALLBOOK"},
        TMalformed{"AlwaysTrueWhere", u"UPDATE CALLBOOK SET OMNAME='x' WHERE OMCALL='' OR ''=''"},
        TMalformed{"Comment", u"UPDATE CALLBOOK SET OMNAME='x' WHERE OMCALL='Q0ABC' --"},
        TMalformed{"OtherWhereColumn", u"UPDATE CALLBOOK SET OMNAME='x' WHERE OMNAME='Al'"},
        TMalformed{"NoWhere", u"UPDATE CALLBOOK SET OMNAME='x'"},
        TMalformed{"TextIntoBoolean", u"UPDATE CALLBOOK SET Use_BUREAU='1' WHERE OMCALL='Q0ABC'"},
        TMalformed{"BooleanIntoText", u"UPDATE CALLBOOK SET OMNAME=TRUE WHERE OMCALL='Q0ABC'"},
        TMalformed{"ColumnTwice", u"UPDATE CALLBOOK SET OMNAME='a',OMNAME='b' WHERE OMCALL='Q0ABC'"},
        TMalformed{"OtherTable", u"UPDATE sqlite_master SET name='x' WHERE OMCALL='Q0ABC'"},
        TMalformed{"Delete", u"DELETE FROM CALLBOOK WHERE OMCALL='Q0ABC'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CallbookSql, WalkInCallsignOrderWhileUpdatingEveryRow) {
  std::int32_t h = 0;
  ASSERT_EQ(server.CreateQuery(&h), S_OK);
  BStr sql(u"SELECT * FROM CALLBOOK ORDER BY OMCALL");
  ASSERT_EQ(server.OpenQuery(h, sql.Get()), S_OK);
  std::int32_t count = 0;
  ASSERT_EQ(server.GetRecordCount(h, &count), S_OK);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(server.First(h), S_OK);
  std::vector<UString> walked;
  BStr call(u"OMCALL"), field;
  Bool32 eof = 0;
  while (server.IsEof(h, &eof) == S_OK && !eof) {
    std::int32_t result = 0;
    ASSERT_EQ(server.GetFieldValue(h, call.Get(), field.InOut(), &result), S_OK);
    walked.push_back(field.Text());
    ASSERT_EQ(Exec(u"UPDATE CALLBOOK SET OMNAME='seen' WHERE OMCALL='" + field.Text() + u"'"), S_OK);
    ASSERT_EQ(server.Next(h), S_OK);
  }
  EXPECT_EQ(walked, (std::vector<UString>{u"Q0ABC", u"Q0XYZ"}));

  // Closing the query commits: another connection sees the statements.
  ASSERT_EQ(server.CloseQuery(h), S_OK);
  ASSERT_EQ(server.FreeQuery(h), S_OK);
  TCallbookDb other(UString(host->Server.Db().Path()));
  auto c = other.Select({UString(u"Q0XYZ"), false});
  EXPECT_EQ(c->Text(1), u"seen");
}

TEST_F(CallbookSql, FieldValueLeavesTheStringAloneForNullAndReplacesItOtherwise) {
  std::int32_t h = 0;
  ASSERT_EQ(server.CreateQuery(&h), S_OK);
  BStr sql(u"select * from callbook where omcall='Q0ABC'");
  ASSERT_EQ(server.OpenQuery(h, sql.Get()), S_OK);
  BStr value(u"earlier"), qth(u"omqth"), name(u"OMNAME");
  std::optional<long> liveBefore = LiveStringCount();
  BSTR held = value.Get();
  std::int32_t result = -1;
  ASSERT_EQ(server.GetFieldValue(h, qth.Get(), value.InOut(), &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(value.Get(), held);
  ASSERT_EQ(server.GetFieldValue(h, name.Get(), value.InOut(), &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(value.Text(), u"Al");
  EXPECT_EQ(LiveStringCount(), liveBefore);  // the earlier string was freed
  BStr nosuch(u"NOSUCH");
  EXPECT_EQ(server.GetFieldValue(h, nosuch.Get(), value.InOut(), &result), E_INVALIDARG);
  LastError(E_INVALIDARG);
}

TEST_F(CallbookSql, UnknownHandlesFailWithErrorInformation) {
  std::int32_t h = 0, n = 0;
  ASSERT_EQ(server.CreateQuery(&h), S_OK);
  ASSERT_EQ(server.FreeQuery(h), S_OK);
  BStr sql(u"SELECT * FROM CALLBOOK ORDER BY OMCALL");
  std::function<HRESULT()> calls[] = {[&] { return server.OpenQuery(h, sql.Get()); },
                                      [&] { return server.GetRecordCount(h + 7, &n); }, [&] { return server.Next(h); },
                                      [&] { return server.CloseQuery(-3); }, [&] { return server.FreeQuery(h); }};
  for (auto& call : calls) {
    TCallError e = LastError(call());
    EXPECT_EQ(e.Code, E_INVALIDARG);
    EXPECT_NE(e.Description.find(u"handle"), UString::npos);
  }
  EXPECT_EQ(server.CloseQuery(0), S_OK);
  EXPECT_EQ(server.FreeQuery(0), S_OK);
  // A query that is not open, and a select the host does not understand.
  ASSERT_EQ(server.CreateQuery(&h), S_OK);
  EXPECT_TRUE(Failed(server.First(h)));
  LastError(E_FAIL);
  BStr other(u"SELECT OMNAME FROM CALLBOOK");
  TCallError e = LastError(server.OpenQuery(h, other.Get()));
  EXPECT_EQ(e.Code, DB_E_ERRORSINCOMMAND);
  EXPECT_NE(e.Description.find(u"SELECT OMNAME FROM CALLBOOK"), UString::npos);
  EXPECT_EQ(server.FreeQuery(h), S_OK);
}

}  // namespace
