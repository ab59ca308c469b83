// Loading a table through ADO into the query's column stores.
#include <charconv>
#include <new>

#include "jet/EDatabaseError.h"
#include "jet/JetAdoHandle.h"
#include "jet/JetAdoRows.h"
#include "jet/JetQuery.h"
#include "jet/JetSelect.h"
#include "jet/JetValueText.h"

namespace {

// Rows fetched per GetRows call: enough to keep the calls few, few enough that one
// batch of VARIANTs stays small next to the column store.
constexpr long kBatchRows = 4096;
// Jet tables have at most 255 columns.
constexpr long kMaxColumns = 255;

enum : long {
  adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6, adDate = 7,
  adBoolean = 11, adDecimal = 14, adUnsignedTinyInt = 17, adGUID = 72, adBinary = 128,
  adChar = 129, adWChar = 130, adNumeric = 131, adVarChar = 200, adLongVarChar = 201,
  adVarWChar = 202, adLongVarWChar = 203, adVarBinary = 204, adLongVarBinary = 205,
};

// Locks a SAFEARRAY's data for direct access while it lives.
class TArrayData {
 public:
  explicit TArrayData(SAFEARRAY* array) : FArray(array) {
    if (Failed(SafeArrayAccessData(array, &FData)))
      throw EDatabaseError(u"The rows that ADO delivered cannot be read.");
  }
  ~TArrayData() { SafeArrayUnaccessData(FArray); }
  TArrayData(const TArrayData&) = delete;
  TArrayData& operator=(const TArrayData&) = delete;
  void* Data() const { return FData; }

 private:
  SAFEARRAY* FArray;
  void* FData = nullptr;
};

// The number of elements along dimension dim (from 1).
std::uint32_t Extent(SAFEARRAY* array, UINT dim) {
  LONG lo = 0, hi = -1;
  if (Failed(SafeArrayGetLBound(array, dim, &lo)) || Failed(SafeArrayGetUBound(array, dim, &hi)))
    throw EDatabaseError(u"The rows that ADO delivered cannot be read.");
  return hi < lo ? 0 : std::uint32_t(std::int64_t(hi) - lo + 1);
}

template <typename T>
void AppendReal(std::vector<char16_t>& out, T value) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  AppendAscii(out, buf, std::size_t(r.ptr - buf));
}

// A whole number of ten-thousandths, with four decimals.
void AppendCurrency(std::vector<char16_t>& out, std::int64_t units) {
  const std::uint64_t u = units < 0 ? std::uint64_t(0) - std::uint64_t(units) : std::uint64_t(units);
  if (units < 0) out.push_back(u'-');
  AppendInt(out, std::int64_t(u / 10000));
  char frac[5] = {char('0' + u / 1000 % 10), char('0' + u / 100 % 10), char('0' + u / 10 % 10),
                  char('0' + u % 10), 0};
  out.push_back(u'.');
  AppendAscii(out, frac, 4);
}

// A 96-bit whole number divided by ten to the power of its scale.
void AppendDecimal(std::vector<char16_t>& out, const DECIMAL& d) {
  std::uint32_t words[3] = {d.Hi32, std::uint32_t(d.Lo64 >> 32), std::uint32_t(d.Lo64)};
  char digits[40];
  int n = 0;
  do {
    std::uint64_t rest = 0;
    for (std::uint32_t& w : words) {
      const std::uint64_t cur = (rest << 32) | w;
      w = std::uint32_t(cur / 10);
      rest = cur % 10;
    }
    digits[n++] = char('0' + rest);
  } while (words[0] || words[1] || words[2]);
  const int scale = d.scale <= 28 ? d.scale : 28;
  while (n <= scale) digits[n++] = '0';
  if (d.sign & DECIMAL_NEG) out.push_back(u'-');
  for (int i = n; i-- > 0;) {
    out.push_back(char16_t(digits[i]));
    if (i == scale && i > 0) out.push_back(u'.');
  }
}

// Appends one value as text; returns whether it is NULL.
bool AppendValue(std::vector<char16_t>& out, const VARIANT& v) {
  switch (v.vt) {
    case VT_BSTR:
      if (v.bstrVal) {
        const OLECHAR* s = v.bstrVal;
        out.insert(out.end(), s, s + SysStringLen(v.bstrVal));
      }
      return false;
    case VT_BOOL: AppendBoolean(out, v.boolVal != VARIANT_FALSE); return false;
    case VT_UI1: AppendInt(out, v.bVal); return false;
    case VT_I1: AppendInt(out, v.cVal); return false;
    case VT_I2: AppendInt(out, v.iVal); return false;
    case VT_UI2: AppendInt(out, v.uiVal); return false;
    case VT_I4: AppendInt(out, v.lVal); return false;
    case VT_UI4: AppendInt(out, v.ulVal); return false;
    case VT_INT: AppendInt(out, v.intVal); return false;
    case VT_UINT: AppendInt(out, v.uintVal); return false;
    case VT_I8: AppendInt(out, v.llVal); return false;
    case VT_R4: AppendReal(out, v.fltVal); return false;
    case VT_R8: AppendReal(out, v.dblVal); return false;
    case VT_CY: AppendCurrency(out, v.cyVal.int64); return false;
    case VT_DATE: AppendDate(out, v.date); return false;
    case VT_DECIMAL: AppendDecimal(out, v.decVal); return false;
    case VT_ARRAY | VT_UI1: {
      SAFEARRAY* bytes = v.parray;
      if (!bytes || SafeArrayGetDim(bytes) != 1 || SafeArrayGetElemsize(bytes) != 1) return true;
      const std::uint32_t n = Extent(bytes, 1);
      TArrayData data(bytes);
      AppendHex(out, static_cast<const unsigned char*>(data.Data()), n);
      return false;
    }
    default:
      // VT_NULL, VT_EMPTY and kinds that Jet does not store.
      return true;
  }
}

}  // namespace

int JetTypeOfAdoType(long adoType) {
  switch (adoType) {
    case adBoolean: return jdtBoolean;
    case adUnsignedTinyInt: return jdtByte;
    case adSmallInt: return jdtInteger;
    case adInteger: return jdtLongInteger;
    case adCurrency: return jdtCurrency;
    case adSingle: return jdtSingle;
    case adDouble: return jdtDouble;
    case adDate: return jdtDateTime;
    case adBinary: case adVarBinary: return jdtBinary;
    case adChar: case adWChar: case adVarChar: case adVarWChar: return jdtText;
    case adLongVarBinary: return jdtLongBinary;
    case adLongVarChar: case adLongVarWChar: return jdtMemo;
    case adGUID: return jdtGuid;
    case adDecimal: case adNumeric: return jdtNumeric;
    default: return 0;
  }
}

std::vector<std::uint32_t> FetchedColumns(const std::vector<TJetColumn>& columns) {
  std::vector<std::uint32_t> fetched;
  for (std::uint32_t c = 0; c < columns.size(); ++c)
    if (columns[c].DataType() != jdtLongBinary) fetched.push_back(c);
  if (fetched.empty() && !columns.empty()) fetched.push_back(0);
  return fetched;
}

std::uint32_t AppendAdoRows(std::vector<TJetColumn>& columns, const VARIANT& rows,
                            const std::vector<std::uint32_t>& fetched) {
  SAFEARRAY* array = rows.parray;
  if (rows.vt != (VT_ARRAY | VT_VARIANT) || !array || SafeArrayGetDim(array) != 2 ||
      SafeArrayGetElemsize(array) != sizeof(VARIANT))
    throw EDatabaseError(u"ADO delivered the rows in an unexpected form.");
  const std::uint32_t fields = Extent(array, 1), count = Extent(array, 2);
  if (fields != fetched.size())
    throw EDatabaseError(Format(u"ADO delivered %u values per row for %u columns.",
                                {fields, std::uint32_t(fetched.size())}));
  std::vector<bool> isFetched(columns.size());
  for (std::uint32_t c : fetched) {
    if (c >= columns.size() || isFetched[c])
      throw EDatabaseError(u"The columns to fetch do not match the table.");
    isFetched[c] = true;
  }
  TArrayData data(array);
  const VARIANT* values = static_cast<const VARIANT*>(data.Data());
  // The first dimension varies fastest: row r's values lie together.
  for (std::uint32_t r = 0; r < count; ++r) {
    for (std::uint32_t f = 0; f < fields; ++f) {
      TJetColumn& column = columns[fetched[f]];
      std::vector<char16_t>& arena = column.Arena();
      const std::size_t mark = arena.size();
      bool isNull = AppendValue(arena, values[std::size_t(r) * fields + f]);
      if (column.DataType() == jdtLongBinary) {
        // Long binary (OLE) values are not loaded, as on the libmdb side.
        arena.resize(mark);
        isNull = true;
      }
      column.EndRow(isNull);
    }
    for (std::uint32_t c = 0; c < columns.size(); ++c)
      if (!isFetched[c]) columns[c].EndRow(true);
  }
  return count;
}

namespace {

// GetRows' list of the fields to fetch: their ordinals, or "all" when that is every one.
TVariant FieldList(const std::vector<std::uint32_t>& fetched, std::size_t columns) {
  if (fetched.size() == columns) return TVariant::Missing();
  TVariant list;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(fetched.size()));
  if (!array) throw std::bad_alloc();
  VARIANT* value = list.Put();
  value->vt = VT_ARRAY | VT_VARIANT;
  value->parray = array;
  TArrayData data(array);
  VARIANT* items = static_cast<VARIANT*>(data.Data());
  for (std::size_t i = 0; i < fetched.size(); ++i) {
    items[i].vt = VT_I4;
    items[i].lVal = LONG(fetched[i]);
  }
  return list;
}

}  // namespace

void TJetQuery::Load(const TJetSelect& select) {
  IDispatch* connection = FConnection.Handle()->Connection.Get();
  try {
    const ComPtr<IDispatch> recordset = CreateAutomationObject(u"ADODB.Recordset");
    const TVariant source = TVariant::Text(u"SELECT * FROM [" + select.Table + u"]");
    const TVariant active = TVariant::Dispatch(connection);
    const TVariant cursor = TVariant::Int(adOpenForwardOnly);
    const TVariant lock = TVariant::Int(adLockReadOnly);
    const TVariant options = TVariant::Int(adCmdText);
    CallMethod(recordset.Get(), u"Open",
               {&source.Get(), &active.Get(), &cursor.Get(), &lock.Get(), &options.Get()});

    const ComPtr<IDispatch> fields = GetProperty(recordset.Get(), u"Fields").AsDispatch(u"Fields");
    const long count = GetProperty(fields.Get(), u"Count").AsInt(u"Fields.Count");
    if (count <= 0 || count > kMaxColumns)
      throw EDatabaseError(Format(u"ADO reports %d columns.", {int(count)}));
    FColumns.reserve(std::size_t(count));
    for (long i = 0; i < count; ++i) {
      const TVariant index = TVariant::Int(i);
      const ComPtr<IDispatch> field =
          GetProperty(fields.Get(), u"Item", {&index.Get()}).AsDispatch(u"Fields.Item");
      FColumns.emplace_back(GetProperty(field.Get(), u"Name").AsText(u"Field.Name"),
                            JetTypeOfAdoType(GetProperty(field.Get(), u"Type").AsInt(u"Field.Type")));
    }

    const std::vector<std::uint32_t> fetched = FetchedColumns(FColumns);
    const TVariant batch = TVariant::Int(kBatchRows);
    const TVariant start = TVariant::Missing();
    const TVariant fieldList = FieldList(fetched, FColumns.size());
    while (!GetProperty(recordset.Get(), u"EOF").AsBool(u"EOF")) {
      const TVariant rows =
          CallMethod(recordset.Get(), u"GetRows", {&batch.Get(), &start.Get(), &fieldList.Get()});
      // A batch without rows before the end would never finish.
      if (AppendAdoRows(FColumns, rows.Get(), fetched) == 0)
        throw EDatabaseError(u"GetRows delivered no rows before the end of the table.");
    }
    CallMethod(recordset.Get(), u"Close");
  } catch (const EDatabaseError& e) {
    throw EDatabaseError(Format(u"Cannot read table '%s' of '%s': %s",
                                {select.Table, FConnection.FileName(), e.Message}));
  }
  for (TJetColumn& c : FColumns) c.Shrink();
}
