// The ADO side of the package database layer: values delivered by GetRows read as the
// libmdb side reads them; a missing Jet provider is a clear error that leaves nothing open
// and the thread's apartment as it was; and, where the provider exists (32-bit programs
// on Windows), the real files read back as written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objbase.h>

#include "jet/EDatabaseError.h"
#include "jet/JetAdoDispatch.h"
#include "jet/JetAdoRows.h"
#include "jet/JetConnection.h"
#include "jet/JetQuery.h"
#include "tests/jet/JetTestSupport.h"

namespace {

constexpr char kProvider[] = "Microsoft.Jet.OLEDB.4.0";

bool ProviderRegistered() {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(L"Microsoft.Jet.OLEDB.4.0", &clsid));
}

// A GetRows result under construction: a fields-by-rows array of VARIANTs, freed with
// everything in it when it goes.
class TRowsArray {
 public:
  TRowsArray(ULONG fields, ULONG rows) {
    SAFEARRAYBOUND bounds[2] = {{fields, 0}, {rows, 0}};
    FValue.vt = VT_ARRAY | VT_VARIANT;
    FValue.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
  }
  ~TRowsArray() { VariantClear(&FValue); }
  TRowsArray(const TRowsArray&) = delete;
  TRowsArray& operator=(const TRowsArray&) = delete;

  // Copies value into field f of row r.
  void Put(LONG f, LONG r, const VARIANT& value) {
    LONG index[2] = {f, r};
    ASSERT_EQ(SafeArrayPutElement(FValue.parray, index, const_cast<VARIANT*>(&value)), S_OK);
  }
  const VARIANT& Get() const { return FValue; }

 private:
  VARIANT FValue{};
};

// One VARIANT built by a test, cleared when it goes.
struct TValue {
  VARIANT V;
  TValue() { VariantInit(&V); }
  ~TValue() { VariantClear(&V); }
  TValue(const TValue&) = delete;
  TValue& operator=(const TValue&) = delete;
};

void SetText(TValue& value, const UString& text) {
  value.V.vt = VT_BSTR;
  value.V.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), UINT(text.size()));
}

std::vector<std::uint32_t> EveryColumn(std::uint32_t columns) {
  std::vector<std::uint32_t> all(columns);
  for (std::uint32_t c = 0; c < columns; ++c) all[c] = c;
  return all;
}

std::optional<UString> Cell(const TJetColumn& column, std::uint32_t row) {
  if (column.IsNull(row)) return std::nullopt;
  return UString(column.Text(row));
}

class JetAdoRowsTest : public testing::Test {
 protected:
  static std::vector<TJetColumn> CallbookColumns() {
    std::vector<TJetColumn> columns;
    for (const char16_t* name : {u"CALL", u"Name", u"QTH", u"Grid", u"State", u"Manager"})
      columns.emplace_back(name, jdtText);
    return columns;
  }
  // Appends rows [from, to) of the tiny callbook as one GetRows batch.
  static std::uint32_t AppendBatch(std::vector<TJetColumn>& columns, const std::vector<TRow>& rows,
                                   std::size_t from, std::size_t to) {
    TRowsArray batch(6, ULONG(to - from));
    for (std::size_t r = from; r < to; ++r)
      for (std::size_t c = 0; c < 6; ++c) {
        TValue value;
        if (rows[r][c]) SetText(value, *rows[r][c]);
        else value.V.vt = VT_NULL;
        batch.Put(LONG(c), LONG(r - from), value.V);
      }
    return AppendAdoRows(columns, batch.Get(), EveryColumn(6));
  }
};

TEST_F(JetAdoRowsTest, BatchesOfTextKeepNullApartFromEmpty) {
  const std::vector<TRow> expected = TinyRows();
  ASSERT_EQ(expected.size(), 14u);
  std::vector<TJetColumn> columns = CallbookColumns();
  EXPECT_EQ(AppendBatch(columns, expected, 0, 9), 9u);
  EXPECT_EQ(AppendBatch(columns, expected, 9, 9), 0u);
  EXPECT_EQ(AppendBatch(columns, expected, 9, 14), 5u);
  for (const TJetColumn& column : columns) ASSERT_EQ(column.RowCount(), 14u);
  for (std::uint32_t r = 0; r < 14; ++r)
    for (std::size_t c = 0; c < 6; ++c)
      EXPECT_EQ(Cell(columns[c], r), expected[r][c]) << "row " << r << " column " << c;
}

struct TValueCase {
  const char* what;
  int dataType;
  std::function<void(VARIANT&)> make;
  std::optional<UString> text;  // nothing when the value must read as NULL
};

TEST_F(JetAdoRowsTest, ValuesReadAsTheLibmdbSideWritesThem) {
  const std::vector<TValueCase> cases = {
      {"True", jdtBoolean, [](VARIANT& v) { v.vt = VT_BOOL; v.boolVal = VARIANT_TRUE; }, u"True"},
      {"False", jdtBoolean, [](VARIANT& v) { v.vt = VT_BOOL; v.boolVal = VARIANT_FALSE; }, u"False"},
      {"byte", jdtByte, [](VARIANT& v) { v.vt = VT_UI1; v.bVal = 200; }, u"200"},
      {"integer", jdtInteger, [](VARIANT& v) { v.vt = VT_I2; v.iVal = -32768; }, u"-32768"},
      {"long", jdtLongInteger, [](VARIANT& v) { v.vt = VT_I4; v.lVal = 86400; }, u"86400"},
      // DateBegin of the first task in real-tasks-jet4.mdb.
      {"date", jdtDateTime, [](VARIANT& v) { v.vt = VT_DATE; v.date = 38499.84027777778; },
       u"2005-05-27 20:10:00"},
      {"date before 1899-12-30", jdtDateTime, [](VARIANT& v) { v.vt = VT_DATE; v.date = -1.25; },
       u"1899-12-29 06:00:00"},
      {"date out of range", jdtDateTime, [](VARIANT& v) { v.vt = VT_DATE; v.date = 1e9; },
       u"#invalid date#"},
      {"currency", jdtCurrency, [](VARIANT& v) { v.vt = VT_CY; v.cyVal.int64 = -123405; },
       u"-12.3405"},
      {"decimal", jdtNumeric,
       [](VARIANT& v) {
         v.vt = VT_DECIMAL;
         v.decVal.scale = 2;
         v.decVal.Lo64 = 12345;
       },
       u"123.45"},
      {"negative decimal below one", jdtNumeric,
       [](VARIANT& v) {
         v.vt = VT_DECIMAL;
         v.decVal.scale = 3;
         v.decVal.sign = DECIMAL_NEG;
         v.decVal.Lo64 = 5;
       },
       u"-0.005"},
      {"28-digit decimal", jdtNumeric,
       [](VARIANT& v) {
         v.vt = VT_DECIMAL;
         v.decVal.Hi32 = 0xFFFFFFFFu;
         v.decVal.Lo64 = ~0ull;
       },
       u"79228162514264337593543950335"},
      {"double", jdtDouble, [](VARIANT& v) { v.vt = VT_R8; v.dblVal = 0.1; }, u"0.1"},
      {"binary", jdtBinary,
       [](VARIANT& v) {
         v.vt = VT_ARRAY | VT_UI1;
         v.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
         unsigned char* p = nullptr;
         SafeArrayAccessData(v.parray, reinterpret_cast<void**>(&p));
         p[0] = 0x00, p[1] = 0x1F, p[2] = 0xAB;
         SafeArrayUnaccessData(v.parray);
       },
       u"001FAB"},
      {"empty text", jdtText, [](VARIANT& v) { v.vt = VT_BSTR; v.bstrVal = SysAllocStringLen(L"", 0); },
       u""},
      {"text with a zero", jdtMemo,
       [](VARIANT& v) { v.vt = VT_BSTR; v.bstrVal = SysAllocStringLen(L"a\0b", 3); },
       UString(u"a\0b", 3)},
      {"NULL", jdtText, [](VARIANT& v) { v.vt = VT_NULL; }, std::nullopt},
      {"empty", jdtLongInteger, [](VARIANT& v) { v.vt = VT_EMPTY; }, std::nullopt},
      {"long binary", jdtLongBinary,
       [](VARIANT& v) {
         v.vt = VT_ARRAY | VT_UI1;
         v.parray = SafeArrayCreateVector(VT_UI1, 0, 2);
       },
       std::nullopt},
  };
  for (const TValueCase& c : cases) {
    std::vector<TJetColumn> columns;
    columns.emplace_back(u"A", c.dataType);
    columns.emplace_back(u"B", jdtText);
    TRowsArray batch(2, 1);
    TValue value, after;
    c.make(value.V);
    SetText(after, u"next");
    batch.Put(0, 0, value.V);
    batch.Put(1, 0, after.V);
    ASSERT_EQ(AppendAdoRows(columns, batch.Get(), EveryColumn(2)), 1u) << c.what;
    EXPECT_EQ(Cell(columns[0], 0), c.text) << c.what;
    EXPECT_EQ(Cell(columns[1], 0), u"next") << c.what;
  }
}

TEST_F(JetAdoRowsTest, ArraysOfAnotherShapeAreRefused) {
  std::vector<TJetColumn> columns = CallbookColumns();
  TRowsArray fiveFields(5, 1);
  EXPECT_THAT(ErrorOf([&] { AppendAdoRows(columns, fiveFields.Get(), EveryColumn(6)); }),
              testing::HasSubstr("5 values per row for 6 columns"));
  EXPECT_THROW(AppendAdoRows(columns, fiveFields.Get(), {0, 1, 2, 3, 6}), EDatabaseError);
  EXPECT_THROW(AppendAdoRows(columns, fiveFields.Get(), {0, 1, 2, 3, 3}), EDatabaseError);
  TValue flat;
  flat.V.vt = VT_ARRAY | VT_VARIANT;
  flat.V.parray = SafeArrayCreateVector(VT_VARIANT, 0, 6);
  EXPECT_THROW(AppendAdoRows(columns, flat.V, EveryColumn(6)), EDatabaseError);
  TValue scalar;
  scalar.V.vt = VT_I4;
  EXPECT_THROW(AppendAdoRows(columns, scalar.V, EveryColumn(6)), EDatabaseError);
  for (const TJetColumn& column : columns) EXPECT_EQ(column.RowCount(), 0u);
}

// Long binary (OLE) columns are left out of the fetch, so that large objects never
// travel, and read as NULL like on the libmdb side.
TEST_F(JetAdoRowsTest, LongBinaryColumnsAreNotFetched) {
  std::vector<TJetColumn> columns;
  columns.emplace_back(u"Photo", jdtLongBinary);
  columns.emplace_back(u"CALL", jdtText);
  columns.emplace_back(u"Scan", jdtLongBinary);
  columns.emplace_back(u"CQZone", jdtInteger);
  const std::vector<std::uint32_t> fetched = FetchedColumns(columns);
  ASSERT_EQ(fetched, (std::vector<std::uint32_t>{1, 3}));
  TRowsArray batch(2, 2);
  for (LONG r = 0; r < 2; ++r) {
    TValue call, zone;
    SetText(call, r ? u"Q0B" : u"Q0A");
    zone.V.vt = VT_I2;
    zone.V.iVal = SHORT(14 + r);
    batch.Put(0, r, call.V);
    batch.Put(1, r, zone.V);
  }
  ASSERT_EQ(AppendAdoRows(columns, batch.Get(), fetched), 2u);
  for (std::uint32_t r = 0; r < 2; ++r) {
    EXPECT_EQ(Cell(columns[0], r), std::nullopt);
    EXPECT_EQ(Cell(columns[1], r), r ? u"Q0B" : u"Q0A");
    EXPECT_EQ(Cell(columns[2], r), std::nullopt);
    EXPECT_EQ(Cell(columns[3], r), r ? u"15" : u"14");
  }
  // A table of nothing but long binary columns still fetches one, to count its rows.
  std::vector<TJetColumn> pictures;
  pictures.emplace_back(u"Photo", jdtLongBinary);
  EXPECT_EQ(FetchedColumns(pictures), (std::vector<std::uint32_t>{0}));
}

TEST_F(JetAdoRowsTest, AdoKindsMapToJetKinds) {
  EXPECT_EQ(JetTypeOfAdoType(202), jdtText);        // adVarWChar
  EXPECT_EQ(JetTypeOfAdoType(203), jdtMemo);        // adLongVarWChar
  EXPECT_EQ(JetTypeOfAdoType(205), jdtLongBinary);  // adLongVarBinary
  EXPECT_EQ(JetTypeOfAdoType(17), jdtByte);         // adUnsignedTinyInt
  EXPECT_EQ(JetTypeOfAdoType(7), jdtDateTime);      // adDate
  EXPECT_EQ(JetTypeOfAdoType(8), 0);                // adBSTR: not a Jet kind
}

// The late-bound calls, on an automation object that every Windows (and Wine) has: the
// arguments arrive in order, indexed properties answer, and a failing call raises with
// the member's name and the object's description.
TEST(JetDispatchTest, LateBoundCallsReachTheObjectAndFailuresAreDescribed) {
  TComApartment apartment;
  ComPtr<IDispatch> dictionary;
  try {
    dictionary = CreateAutomationObject(u"Scripting.Dictionary");
  } catch (const EDatabaseError& e) {
    GTEST_SKIP() << "Scripting.Dictionary is not available: " << UStringToUtf8(e.Message);
  }
  const TVariant key = TVariant::Text(u"K1"), item = TVariant::Int(42);
  const TVariant key2 = TVariant::Text(u"K2"), item2 = TVariant::Text(u"forty-three");
  CallMethod(dictionary.Get(), u"Add", {&key.Get(), &item.Get()});
  CallMethod(dictionary.Get(), u"Add", {&key2.Get(), &item2.Get()});
  EXPECT_EQ(GetProperty(dictionary.Get(), u"Count").AsInt(u"Count"), 2);
  EXPECT_EQ(GetProperty(dictionary.Get(), u"Item", {&key.Get()}).AsInt(u"Item"), 42);
  EXPECT_EQ(GetProperty(dictionary.Get(), u"Item", {&key2.Get()}).AsText(u"Item"), u"forty-three");
  EXPECT_TRUE(CallMethod(dictionary.Get(), u"Exists", {&key2.Get()}).AsBool(u"Exists"));
  EXPECT_THAT(ErrorOf([&] { GetProperty(dictionary.Get(), u"Item", {&key.Get()}).AsText(u"Item"); }),
              testing::HasSubstr("expected text"));

  // Adding a key twice fails inside the object.
  const std::string twice = ErrorOf([&] { CallMethod(dictionary.Get(), u"Add", {&key.Get(), &item.Get()}); });
  EXPECT_THAT(twice, testing::StartsWith("Add: "));
  EXPECT_GT(twice.size(), 6u);
  EXPECT_THAT(ErrorOf([&] { GetProperty(dictionary.Get(), u"NoSuchMember"); }),
              testing::HasSubstr("NoSuchMember: the object has no such member"));
  // A property put reaches the object: the compare mode can change only while it is empty.
  const TVariant textCompare = TVariant::Int(1);
  EXPECT_THROW(PutProperty(dictionary.Get(), u"CompareMode", textCompare.Get()), EDatabaseError);
  CallMethod(dictionary.Get(), u"RemoveAll");
  PutProperty(dictionary.Get(), u"CompareMode", textCompare.Get());
  EXPECT_EQ(GetProperty(dictionary.Get(), u"CompareMode").AsInt(u"CompareMode"), 1);
}

// The calling thread's apartment: 0 none, 1 single-threaded, 2 multithreaded.
int Apartment() {
  APTTYPE type;
  APTTYPEQUALIFIER qualifier;
  if (CoGetApartmentType(&type, &qualifier) != S_OK) return 0;
  return type == APTTYPE_MTA ? 2 : 1;
}

class JetAdoOpenTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Apartment(), 0) << "an earlier test left an apartment"; }
};

TEST_F(JetAdoOpenTest, MissingProviderIsNamedAndNothingStaysOpen) {
  if (ProviderRegistered()) GTEST_SKIP() << "the provider " << kProvider << " is registered here";
  const std::string file = Fixture("mdb/callbook-tiny.mdb");
  TJetConnection db;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::string message = ErrorOf([&] { db.Open(JetConnectionStringFor(file)); });
    EXPECT_THAT(message, testing::AllOf(testing::HasSubstr(kProvider), testing::HasSubstr(file),
                                        testing::HasSubstr("not registered")));
    EXPECT_FALSE(db.Connected());
    EXPECT_TRUE(db.FileName().empty());
    EXPECT_EQ(db.JetVersion(), 0);
  }
  TJetQuery q(db);
  q.SetSQL(u"SELECT * FROM CALLBOOK");
  EXPECT_THAT(ErrorOf([&] { q.Open(); }), testing::HasSubstr("not open"));
  // The file checks still come first, with the same messages as elsewhere.
  ExpectOpenFails(ScratchDir() + "/no-such.mdb", "Could not find file");
}

TEST_F(JetAdoOpenTest, TheThreadsApartmentIsLeftAsFound) {
  const std::string file = Fixture("mdb/callbook-tiny.mdb");
  struct TCase {
    const char* what;
    DWORD init;  // how the test enters an apartment first; ~0 for none
    int kind;
  };
  for (const TCase& c : {TCase{"none", ~0u, 0}, TCase{"single-threaded", COINIT_APARTMENTTHREADED, 1},
                         TCase{"multithreaded", COINIT_MULTITHREADED, 2}}) {
    if (c.init != ~0u) {
      ASSERT_EQ(CoInitializeEx(nullptr, c.init), S_OK) << c.what;
    }
    {
      TJetConnection db;
      try {
        db.Open(JetConnectionStringFor(file));
      } catch (const EDatabaseError&) {
        EXPECT_FALSE(db.Connected());
      }
      // An open connection keeps an apartment; the one it found stays as it was.
      const int expected = c.kind ? c.kind : db.Connected() ? 1 : 0;
      EXPECT_EQ(Apartment(), expected) << c.what;
    }
    EXPECT_EQ(Apartment(), c.kind) << c.what;
    if (c.init != ~0u) CoUninitialize();
    EXPECT_EQ(Apartment(), 0) << c.what;
  }
}

// Reading the real fixtures through the provider, which only a 32-bit program on Windows
// has; the expected values are those the libmdb side reads from the same files.
class JetAdoProviderTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!ProviderRegistered())
      GTEST_SKIP() << "the OLE DB provider " << kProvider
                   << " is not registered for this process (it exists only for 32-bit "
                      "programs on Windows)";
  }
  void Open(const std::string& fixture, UStringView sql) {
    FDb.Open(JetConnectionStringFor(Fixture(fixture)));
    FQuery.SetSQL(sql);
    FQuery.Open();
  }
  std::optional<UString> Value(UStringView column) {
    TJetField& f = FQuery.FieldByName(column);
    if (f.IsNull()) return std::nullopt;
    return f.AsString();
  }
  TJetConnection FDb;
  TJetQuery FQuery{FDb};
};

TEST_F(JetAdoProviderTest, CallbookFilesReadBackAsWritten) {
  const std::vector<TRow> expected = TinyRows();
  const char16_t* const columns[] = {u"CALL", u"Name", u"QTH", u"Grid", u"State", u"Manager"};
  for (const char* fixture :
       {"mdb/callbook-tiny.mdb", "mdb/callbook-tiny-2003.mdb", "mdb/callbook-extra.mdb"}) {
    Open(fixture, u"SELECT * FROM CALLBOOK");
    EXPECT_EQ(FDb.JetVersion(), 4) << fixture;
    ASSERT_EQ(FQuery.RecordCount(), expected.size()) << fixture;
    std::size_t r = 0;
    for (FQuery.First(); !FQuery.Eof(); FQuery.Next(), ++r)
      for (std::size_t c = 0; c < 6; ++c)
        EXPECT_EQ(Value(columns[c]), expected[r][c]) << fixture << " row " << r << " column " << c;
  }
}

TEST_F(JetAdoProviderTest, OrderByAndLocateAnswerAsOnLinux) {
  Open("mdb/callbook-tiny.mdb", u"SELECT * FROM CALLBOOK ORDER BY CALL");
  const char* const calls[] = {"Q0AAA", "Q0ABC", "Q0APO", "Q0BLK", "Q0CYR", "Q0DUP", "Q0DUP",
                               "Q0LNG", "q0low", "Q0MIX", "Q0NUL", "Q0OBR", "Q0QUO", "Q0ZZZ"};
  std::size_t i = 0;
  for (FQuery.First(); !FQuery.Eof(); FQuery.Next(), ++i) {
    ASSERT_LT(i, std::size(calls));
    EXPECT_EQ(FQuery.FieldByName(u"CALL").AsString(), U(calls[i]));
  }
  ASSERT_TRUE(FQuery.Locate(u"CALL", u"Q0DUP"));
  EXPECT_EQ(Value(u"Name"), u"First Dup");
  EXPECT_FALSE(FQuery.Locate(u"CALL", u"q0dup"));
  ASSERT_TRUE(FQuery.Locate(u"Name", u"Иван Петров"));
  EXPECT_EQ(Value(u"QTH"), u"Москва");
  ASSERT_TRUE(FQuery.Locate(u"CALL", u"Q0LNG"));
  EXPECT_EQ(Value(u"Name"), UString(90, u'N'));
  EXPECT_EQ(ErrorOf([&] { FQuery.FieldByName(u"Country"); }), "Field 'Country' not found");
  FQuery.SetSQL(u"SELECT * FROM NOPE");
  EXPECT_THAT(ErrorOf([&] { FQuery.Open(); }), testing::HasSubstr("'NOPE'"));
}

TEST_F(JetAdoProviderTest, NumbersAndDatesReadAsOnLinux) {
  Open("mdb/real-tasks-jet4.mdb", u"SELECT * FROM Tasks");
  ASSERT_EQ(FQuery.RecordCount(), 3u);
  FQuery.First();
  EXPECT_EQ(Value(u"ID"), u"2");
  EXPECT_EQ(Value(u"DateBegin"), u"2005-05-27 20:10:00");
  EXPECT_EQ(Value(u"Name"), u"Задание 1");
  EXPECT_EQ(Value(u"AlertType"), u"3");
  EXPECT_EQ(Value(u"AlertTimeOut"), u"86400");
  EXPECT_EQ(Value(u"Result"), u"2");
  ASSERT_TRUE(FQuery.Locate(u"ID", u"7"));
  EXPECT_EQ(Value(u"LastAlert"), u"2005-05-30 18:34:57");
  EXPECT_EQ(Value(u"AlertTimeOut"), u"60");
}

}  // namespace
