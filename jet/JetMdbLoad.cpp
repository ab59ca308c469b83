// Loading a table through libmdb into the query's column stores.
#include <bit>
#include <cstring>
#include <type_traits>

#include "jet/EDatabaseError.h"
#include "jet/JetMdbHandle.h"
#include "jet/JetQuery.h"
#include "jet/JetSelect.h"
#include "jet/JetTableScan.h"
#include "jet/JetValueText.h"

namespace {

struct GFreer {
  void operator()(char* p) const noexcept { g_free(p); }
};
using MdbText = std::unique_ptr<char, GFreer>;

template <typename T>
T ReadLE(const unsigned char* p) {
  std::make_unsigned_t<T> v = 0;
  for (std::size_t i = sizeof v; i-- > 0;) v = decltype(v)((v << 8) | p[i]);
  return T(v);
}

void AppendUtf8(std::vector<char16_t>& out, const char* s) {
  if (!s) return;
  const UString text = Utf8ToUString(s);
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

void TJetQuery::Load(const TJetSelect& select) {
  TJetConnection::THandle& h = *FConnection.Handle();
  const TJetConnection::THandle::TTable* found = nullptr;
  for (const auto& t : h.Tables)
    if (SameTextAscii(t.Name, select.Table)) {
      found = &t;
      break;
    }
  if (!found)
    throw EDatabaseError(Format(
        u"The database engine cannot find the input table or query '%s'. Make sure it exists "
        u"and that its name is spelled correctly.",
        {select.Table}));

  TJetTableScan scan(h, FConnection.FileName(), found->Name, found->Page);
  MdbHandle* mdb = scan.Mdb();
  const unsigned numCols = scan.ColumnCount();
  FColumns.reserve(numCols);
  // Expected rows, capped so that a damaged definition cannot make us reserve too much.
  const std::uint32_t expected = std::min<std::uint32_t>(scan.RecordedRows(), 1u << 24);
  for (unsigned i = 0; i < numCols; ++i) {
    FColumns.emplace_back(scan.ColumnName(i), scan.Column(i).col_type);
    const bool text = scan.Column(i).col_type == MDB_TEXT;
    FColumns[i].Reserve(expected, text ? std::size_t(expected) * 8 : 0);
  }
  const bool jet4 = scan.Jet4();

  scan.ForEachRow([&](const MdbField* fields) {
    const unsigned char* page = scan.Page();
    for (unsigned c = 0; c < numCols; ++c) {
      const MdbField& field = fields[c];
      const MdbColumn& col = scan.Column(c);
      TJetColumn& out = FColumns[c];
      std::vector<char16_t>& arena = out.Arena();
      const unsigned char* p = page + field.start;
      const std::size_t n = std::size_t(field.siz);
      bool isNull = field.is_null;
      if (col.col_type == MDB_BOOL) {
        // A Boolean's value is its bit in the null mask: set means True.
        AppendBoolean(arena, !isNull);
        isNull = false;
      } else if (!isNull) {
        switch (col.col_type) {
          case MDB_TEXT:
            AppendJetText(arena, p, n, jet4);
            break;
          case MDB_MEMO:
            if (n > 0) {
              MdbText s(mdb_col_to_string(mdb, mdb->pg_buf, field.start, MDB_MEMO, field.siz));
              AppendUtf8(arena, s.get());
            }
            break;
          case MDB_BYTE:
            if (n >= 1) AppendInt(arena, p[0]); else isNull = true;
            break;
          case MDB_INT:
            if (n >= 2) AppendInt(arena, ReadLE<std::int16_t>(p)); else isNull = true;
            break;
          case MDB_LONGINT:
            if (n >= 4) AppendInt(arena, ReadLE<std::int32_t>(p)); else isNull = true;
            break;
          case MDB_DATETIME:
            if (n >= 8) AppendDate(arena, std::bit_cast<double>(ReadLE<std::uint64_t>(p)));
            else isNull = true;
            break;
          case MDB_BINARY:
            AppendHex(arena, p, n);
            break;
          case MDB_NUMERIC:
            if (n >= 17) {
              MdbText s(mdb_numeric_to_string(mdb, field.start, col.col_scale, col.col_prec));
              AppendUtf8(arena, s.get());
            } else {
              isNull = true;
            }
            break;
          case MDB_FLOAT:
          case MDB_DOUBLE:
          case MDB_MONEY:
          case MDB_REPID: {
            const std::size_t need = col.col_type == MDB_FLOAT ? 4 : col.col_type == MDB_REPID ? 16 : 8;
            if (n >= need) {
              MdbText s(mdb_col_to_string(mdb, mdb->pg_buf, field.start, col.col_type, field.siz));
              AppendUtf8(arena, s.get());
            } else {
              isNull = true;
            }
            break;
          }
          default:
            // Long binary (OLE) and other kinds are not loaded; they read as NULL.
            isNull = true;
            break;
        }
      }
      out.EndRow(isNull);
    }
  });
  for (TJetColumn& c : FColumns) c.Shrink();
}
