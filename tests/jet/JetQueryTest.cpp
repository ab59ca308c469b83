// Loading, ordering, locating and reading rows of real Jet databases.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "jet/EDatabaseError.h"
#include "jet/JetColumn.h"
#include "jet/JetConnection.h"
#include "jet/JetQuery.h"
#include "tests/jet/JetTestSupport.h"

namespace {

// The table as mdb-export prints it, in table order, with dates as yyyy-mm-dd hh:nn:ss.
// mdb-export cannot tell NULL from empty text; both come back empty.
std::vector<std::vector<UString>> MdbExport(const std::string& file, const std::string& table) {
  const std::string out = ScratchDir() + "/export.txt";
  const std::string cmd = "mdb-export -H -Q -d \"$(printf '\\037')\" -R \"$(printf '\\036')\" "
                          "-D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' '" +
                          file + "' '" + table + "' > '" + out + "' 2>/dev/null";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::vector<std::vector<UString>> rows;
  for (const std::string& line : Split(ReadBytes(out), '\x1e')) {
    if (line.empty()) continue;
    std::vector<UString> row;
    for (const std::string& cell : Split(line, '\x1f')) row.push_back(U(cell));
    rows.push_back(row);
  }
  return rows;
}


const char16_t* const kCallbookColumns[] = {u"CALL", u"Name", u"QTH", u"Grid", u"State", u"Manager"};

std::optional<UString> Value(TJetQuery& q, UStringView column) {
  TJetField& f = q.FieldByName(column);
  if (f.IsNull()) return std::nullopt;
  return f.AsString();
}

class JetQueryTest : public testing::Test {
 protected:
  void Open(const std::string& fixture, UStringView sql) {
    FDb.Open(JetConnectionStringFor(Fixture(fixture)));
    FQuery.SetSQL(sql);
    FQuery.Open();
  }
  TJetConnection FDb;
  TJetQuery FQuery{FDb};
};

// The same 14 rows, written three ways (Access 2000, 2002-2003 with an index, and with a
// MEMO column), must read back exactly as written, NULL apart from empty text.
class JetCallbookFileTest : public JetQueryTest, public testing::WithParamInterface<const char*> {};

TEST_P(JetCallbookFileTest, ReadsEveryValueAsWritten) {
  Open(GetParam(), u"SELECT * FROM CALLBOOK");
  const std::vector<TRow> expected = TinyRows();
  ASSERT_EQ(FQuery.RecordCount(), expected.size());
  std::size_t r = 0;
  for (FQuery.First(); !FQuery.Eof(); FQuery.Next(), ++r)
    for (std::size_t c = 0; c < 6; ++c)
      EXPECT_EQ(Value(FQuery, kCallbookColumns[c]), expected[r][c])
          << "row " << r << " column " << UStringToUtf8(kCallbookColumns[c]);
  EXPECT_EQ(r, expected.size());
}

INSTANTIATE_TEST_SUITE_P(Files, JetCallbookFileTest,
                         testing::Values("mdb/callbook-tiny.mdb", "mdb/callbook-tiny-2003.mdb",
                                         "mdb/callbook-extra.mdb"));

TEST_F(JetQueryTest, OrderByIsCaseInsensitiveStableAndAfterNulls) {
  Open("mdb/callbook-tiny.mdb", u"SELECT * FROM CALLBOOK ORDER BY CALL");
  const char* const calls[] = {"Q0AAA", "Q0ABC", "Q0APO", "Q0BLK", "Q0CYR", "Q0DUP", "Q0DUP",
                               "Q0LNG", "q0low", "Q0MIX", "Q0NUL", "Q0OBR", "Q0QUO", "Q0ZZZ"};
  std::vector<UString> got;
  for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) got.push_back(FQuery.FieldByName(u"CALL").AsString());
  std::vector<UString> want;
  for (const char* c : calls) want.push_back(U(c));
  EXPECT_EQ(got, want);

  // NULL Names come first; the two duplicates keep their table order.
  FQuery.SetSQL(u"select * from [CALLBOOK] order by [name] ;  ");
  FQuery.Open();
  FQuery.First();
  EXPECT_TRUE(FQuery.FieldByName(u"Name").IsNull());
  EXPECT_EQ(FQuery.FieldByName(u"CALL").AsString(), u"Q0NUL");
  ASSERT_TRUE(FQuery.Locate(u"CALL", u"Q0DUP"));
  EXPECT_EQ(FQuery.FieldByName(u"Name").AsString(), u"First Dup");

  // Empty text sorts after NULL and before any character, in table order.
  FQuery.SetSQL(u"SELECT * FROM CALLBOOK ORDER BY Grid");
  FQuery.Open();
  got.clear();
  for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) got.push_back(FQuery.FieldByName(u"CALL").AsString());
  want.clear();
  for (const char* c : {"Q0NUL", "Q0BLK", "Q0APO", "Q0MIX", "Q0DUP", "Q0DUP", "q0low", "Q0AAA",
                        "Q0OBR", "Q0LNG", "Q0QUO", "Q0CYR", "Q0ABC", "Q0ZZZ"})
    want.push_back(U(c));
  EXPECT_EQ(got, want);
}

TEST_F(JetQueryTest, LocateFindsTheFirstWholeCaseSensitiveMatch) {
  Open("mdb/callbook-tiny.mdb", u"SELECT * FROM CALLBOOK ORDER BY CALL");
  ASSERT_TRUE(FQuery.Locate(u"CALL", u"Q0DUP"));
  EXPECT_EQ(FQuery.FieldByName(u"Name").AsString(), u"First Dup");
  EXPECT_EQ(FQuery.RecNo(), 5u);

  EXPECT_TRUE(FQuery.Locate(u"call", u"q0low"));
  EXPECT_EQ(FQuery.FieldByName(u"Name").AsString(), u"Lower Case");
  // Failed searches leave the current row where it was.
  EXPECT_FALSE(FQuery.Locate(u"CALL", u"Q0LOW"));
  EXPECT_FALSE(FQuery.Locate(u"CALL", u"q0dup"));
  EXPECT_FALSE(FQuery.Locate(u"CALL", u"Q0AB"));
  EXPECT_FALSE(FQuery.Locate(u"CALL", u""));
  EXPECT_EQ(FQuery.FieldByName(u"CALL").AsString(), u"q0low");

  // Blanks are part of the value; empty text is found, NULL is not.
  EXPECT_FALSE(FQuery.Locate(u"Name", u"Alan"));
  ASSERT_TRUE(FQuery.Locate(u"Name", u" Alan "));
  EXPECT_EQ(FQuery.FieldByName(u"CALL").AsString(), u"Q0ABC");
  ASSERT_TRUE(FQuery.Locate(u"Grid", u""));
  EXPECT_EQ(FQuery.FieldByName(u"CALL").AsString(), u"Q0APO");
  ASSERT_TRUE(FQuery.Locate(u"Name", u"Иван Петров"));
  EXPECT_EQ(FQuery.FieldByName(u"QTH").AsString(), u"Москва");
  ASSERT_TRUE(FQuery.Locate(u"State", u"\t"));
  EXPECT_EQ(FQuery.FieldByName(u"CALL").AsString(), u"Q0BLK");
}

TEST_F(JetQueryTest, LongAndQuotedValuesSurviveWhole) {
  Open("mdb/callbook-tiny.mdb", u"SELECT * FROM CALLBOOK");
  ASSERT_TRUE(FQuery.Locate(u"CALL", u"Q0LNG"));
  EXPECT_EQ(FQuery.FieldByName(u"Name").AsString(), UString(90, u'N'));
  EXPECT_EQ(FQuery.FieldByName(u"QTH").AsString().size(), 110u);
  EXPECT_EQ(FQuery.FieldByName(u"Manager").AsString().size(), 150u);
  ASSERT_TRUE(FQuery.Locate(u"CALL", u"Q0MIX"));
  EXPECT_EQ(FQuery.FieldByName(u"Name").AsString(), u"A'\"B");
  EXPECT_EQ(FQuery.FieldByName(u"QTH").AsString(), u"x\"\"y");
}

TEST_F(JetQueryTest, MissingFieldsAndColumnsAreNamed) {
  Open("mdb/callbook-tiny.mdb", u"SELECT * FROM CALLBOOK");
  EXPECT_EQ(ErrorOf([&] { FQuery.FieldByName(u"Country"); }), "Field 'Country' not found");
  EXPECT_EQ(ErrorOf([&] { FQuery.Locate(u"Country", u"x"); }), "Field 'Country' not found");
  EXPECT_EQ(FQuery.FindField(u"Country"), nullptr);
  EXPECT_EQ(&FQuery.FieldByName(u"manager"), &FQuery.FieldByName(u"MANAGER"));

  FQuery.SetSQL(u"SELECT * FROM CALLBOOK ORDER BY Country");
  EXPECT_THAT(ErrorOf([&] { FQuery.Open(); }), testing::HasSubstr("'Country'"));
  FQuery.SetSQL(u"SELECT * FROM NOPE");
  EXPECT_THAT(ErrorOf([&] { FQuery.Open(); }), testing::HasSubstr("'NOPE'"));
  EXPECT_FALSE(FQuery.Active());
  EXPECT_THROW(FQuery.RecordCount(), EDatabaseError);
  EXPECT_THROW(FQuery.FieldByName(u"CALL"), EDatabaseError);
}

TEST_F(JetQueryTest, OnlyTheSelectAllFormIsAccepted) {
  FDb.Open(JetConnectionStringFor(Fixture("mdb/callbook-tiny.mdb")));
  for (const char16_t* sql : {u"SELECT * FROM CALLBOOK", u"  Select  *  From callbook;",
                              u"SELECT*FROM[CALLBOOK]ORDER BY[CALL]",
                              u"select * from callbook order by call ; \n"}) {
    FQuery.SetSQL(sql);
    EXPECT_NO_THROW(FQuery.Open()) << UStringToUtf8(sql);
    EXPECT_EQ(FQuery.RecordCount(), 14u);
  }
  for (const char16_t* sql :
       {u"", u"SELECT CALL FROM CALLBOOK", u"SELECT * FROM", u"SELECT * FROM CALLBOOK WHERE CALL='x'",
        u"SELECT * FROM CALLBOOK ORDER BY CALL DESC", u"SELECT * FROM CALLBOOK ORDER CALL",
        u"SELECT * FROM CALLBOOK;;", u"SELECT * FROM [CALLBOOK", u"DELETE * FROM CALLBOOK",
        u"SELECT * FROM CALLBOOK ORDER BY CALL, Name"}) {
    FQuery.SetSQL(sql);
    EXPECT_THROW(FQuery.Open(), EDatabaseError) << UStringToUtf8(sql);
    EXPECT_FALSE(FQuery.Active());
  }
}

// Other column kinds, compared with mdb-export reading the same file: integers, dates,
// bytes and a MEMO column; and a file that Access itself wrote.
class JetSecondReaderTest : public JetQueryTest,
                            public testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(JetSecondReaderTest, AgreesWithMdbExport) {
  const auto [fixture, table] = GetParam();
  Open(fixture, U(std::string("SELECT * FROM ") + table));
  const auto exported = MdbExport(Fixture(fixture), table);
  ASSERT_EQ(FQuery.RecordCount(), exported.size());
  std::size_t r = 0;
  for (FQuery.First(); !FQuery.Eof(); FQuery.Next(), ++r) {
    ASSERT_EQ(FQuery.FieldCount(), exported[r].size());
    for (std::uint32_t c = 0; c < FQuery.FieldCount(); ++c)
      EXPECT_EQ(FQuery.Fields(c).AsString(), exported[r][c])
          << "row " << r << " column " << UStringToUtf8(FQuery.Fields(c).FieldName());
  }
}

INSTANTIATE_TEST_SUITE_P(Files, JetSecondReaderTest,
                         testing::Values(std::pair{"mdb/callbook-extra.mdb", "CALLBOOK"},
                                         std::pair{"mdb/real-tasks-jet4.mdb", "Tasks"}));

TEST_F(JetQueryTest, RowsOutliveTheConnection) {
  Open("mdb/callbook-tiny.mdb", u"SELECT * FROM CALLBOOK ORDER BY CALL");
  FDb.Close();
  EXPECT_EQ(FQuery.RecordCount(), 14u);
  EXPECT_TRUE(FQuery.Locate(u"CALL", u"Q0ZZZ"));
  EXPECT_EQ(FQuery.FieldByName(u"Manager").AsString(), u"Q0ABC");
  FQuery.Close();
  FQuery.Close();
  EXPECT_THROW(FQuery.Open(), EDatabaseError);
}

}  // namespace

namespace {

// A sorted query stores its rows again in query order; NULL and empty text, and the
// NULL marks past the first 64 rows, travel with their rows.
TEST(JetColumnTest, ReorderedKeepsEachRowsTextAndNullMark) {
  TJetColumn column(u"CALL", jdtText);
  std::vector<std::uint32_t> order;
  for (std::uint32_t row = 0; row < 130; ++row) {
    const bool isNull = row % 3 == 0;
    if (!isNull && row % 3 == 1) {
      const UString text = u"R" + IntToStr(row);
      column.Arena().insert(column.Arena().end(), text.begin(), text.end());
    }
    column.EndRow(isNull);
    order.push_back(129 - row);
  }
  const TJetColumn reordered = column.Reordered(order);
  ASSERT_EQ(reordered.RowCount(), 130u);
  EXPECT_EQ(reordered.Name(), u"CALL");
  for (std::uint32_t i = 0; i < 130; ++i) {
    const std::uint32_t row = order[i];
    EXPECT_EQ(reordered.IsNull(i), row % 3 == 0) << i;
    EXPECT_EQ(reordered.Text(i), row % 3 == 1 ? u"R" + IntToStr(row) : UString()) << i;
  }
}

}  // namespace
