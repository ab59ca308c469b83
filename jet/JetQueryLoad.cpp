// Loading a table through libmdb into the query's column stores.
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "jet/EDatabaseError.h"
#include "jet/JetHandle.h"
#include "jet/JetQuery.h"
#include "jet/JetSelect.h"
#include "platform/Locale.h"

namespace {

// Row-offset flags in a data page's row table.
constexpr int kRowDeleted = 0x4000;
constexpr int kRowOverflow = 0x8000;
constexpr int kRowOffsetMask = 0x1FFF;

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

void AppendAscii(std::vector<char16_t>& out, const char* s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out.push_back(char16_t(static_cast<unsigned char>(s[i])));
}

void AppendInt(std::vector<char16_t>& out, std::int64_t v) {
  char buf[24];
  int n = 0;
  std::uint64_t u = v < 0 ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
  do {
    buf[n++] = char('0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) out.push_back(u'-');
  while (n) out.push_back(char16_t(buf[--n]));
}

void AppendUtf8(std::vector<char16_t>& out, const char* s) {
  if (!s) return;
  const UString text = Utf8ToUString(s);
  out.insert(out.end(), text.begin(), text.end());
}

// Days since 1899-12-30 plus the fraction of a day, as Jet stores dates, written as
// "yyyy-mm-dd hh:nn:ss". The fraction is the time of day also for days before 1899-12-30.
void AppendDate(std::vector<char16_t>& out, double value) {
  // Jet's range: 100-01-01 to 9999-12-31.
  if (!std::isfinite(value) || value < -657434.0 || value >= 2958466.0) {
    AppendAscii(out, "#invalid date#", 14);
    return;
  }
  double whole = std::trunc(value);
  std::int64_t seconds = std::llround(std::fabs(value - whole) * 86400.0);
  std::int64_t days = std::int64_t(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  std::int64_t z = days - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = yoe + era * 400;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[32];
  const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", int(y), int(m),
                              int(d), int(seconds / 3600), int(seconds / 60 % 60),
                              int(seconds % 60));
  AppendAscii(out, buf, std::size_t(n));
}

// Jet 4 text is UTF-16LE, or, when it starts with FF FE, "compressed": single bytes stand
// for U+0000-U+00FF, and each 00 byte switches between single bytes and UTF-16LE pairs.
void AppendJet4Text(std::vector<char16_t>& out, const unsigned char* p, std::size_t n) {
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    bool compressed = true;
    std::size_t i = 2;
    while (i < n) {
      if (p[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        out.push_back(p[i++]);
      } else if (i + 1 < n) {
        out.push_back(char16_t(p[i] | (p[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
    }
    return;
  }
  const std::size_t units = n / 2;
  const std::size_t old = out.size();
  out.resize(old + units);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out.data() + old, p, units * 2);
  } else {
    for (std::size_t i = 0; i < units; ++i) out[old + i] = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
  }
}

void AppendHex(std::vector<char16_t>& out, const unsigned char* p, std::size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(char16_t(digits[p[i] >> 4]));
    out.push_back(char16_t(digits[p[i] & 15]));
  }
}

[[noreturn]] void Damaged(const UString& file, UStringView what) {
  throw EDatabaseError(Format(u"The database '%s' is damaged: %s", {file, what}));
}

}  // namespace

void TJetQuery::Load(const TJetSelect& select) {
  TJetConnection::THandle& h = *FConnection.Handle();
  MdbHandle* mdb = h.Mdb.get();
  const UString& file = FConnection.FileName();

  MdbCatalogEntry* entry = nullptr;
  for (guint i = 0; mdb->catalog && i < mdb->catalog->len; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (e->object_type == MDB_TABLE && SameTextAscii(Utf8ToUString(e->object_name), select.Table)) {
      entry = e;
      break;
    }
  }
  if (!entry)
    throw EDatabaseError(Format(
        u"The database engine cannot find the input table or query '%s'. Make sure it exists "
        u"and that its name is spelled correctly.",
        {select.Table}));
  const std::uint64_t pages = h.FileSize / h.PageSize;
  if (entry->table_pg == 0 || entry->table_pg >= pages)
    Damaged(file, Format(u"table '%s' lies outside the file.", {select.Table}));

  MdbTableDefPtr table(mdb_read_table(entry));
  if (!table) Damaged(file, Format(u"the definition of table '%s' cannot be read.", {select.Table}));
  if (!mdb_read_columns(table.get()) || table->num_cols == 0 || table->num_cols > MDB_MAX_COLS ||
      table->columns->len != table->num_cols)
    Damaged(file, Format(u"the columns of table '%s' cannot be read.", {select.Table}));

  const unsigned numCols = table->num_cols;
  std::vector<MdbColumn*> cols(numCols);
  FColumns.reserve(numCols);
  for (unsigned i = 0; i < numCols; ++i) {
    cols[i] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    FColumns.emplace_back(Utf8ToUString(cols[i]->name), cols[i]->col_type);
  }
  // Expected rows, capped so that a damaged header cannot make us reserve too much.
  const std::uint32_t expected = std::min<std::uint32_t>(table->num_rows, 1u << 24);
  for (unsigned i = 0; i < numCols; ++i) {
    const bool text = cols[i]->col_type == MDB_TEXT;
    FColumns[i].Reserve(expected, text ? std::size_t(expected) * 8 : 0);
  }

  const bool jet4 = h.Version == 4;
  const std::size_t pageSize = h.PageSize;
  std::vector<MdbField> fields(MDB_MAX_COLS);
  std::uint64_t loaded = 0;

  mdb_rewind_table(table.get());
  while (mdb_read_next_dpg(table.get())) {
    const unsigned rows = unsigned(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
    for (unsigned r = 0; r < rows; ++r) {
      int start = 0;
      std::size_t len = 0;
      if (mdb_find_row(mdb, int(r), &start, &len) == -1 || len == 0) continue;
      // Deleted rows are skipped; an overflow entry only points at the row's new place,
      // which the scan meets on its own page.
      if (start & (kRowDeleted | kRowOverflow)) continue;
      start &= kRowOffsetMask;
      const int cracked = mdb_crack_row(table.get(), start, len, fields.data());
      if (cracked != int(numCols))
        Damaged(file, Format(u"row %u on page %u of table '%s' cannot be read.",
                             {r, unsigned(table->cur_phys_pg), select.Table}));
      for (unsigned f = 0; f < numCols; ++f) {
        const MdbField& field = fields[f];
        if (field.colnum < 0 || unsigned(field.colnum) >= numCols || field.start < 0 ||
            field.siz < 0 || std::size_t(field.start) + std::size_t(field.siz) > pageSize)
          Damaged(file, Format(u"row %u on page %u of table '%s' has a bad field.",
                               {r, unsigned(table->cur_phys_pg), select.Table}));
        MdbColumn* col = cols[field.colnum];
        TJetColumn& out = FColumns[field.colnum];
        std::vector<char16_t>& arena = out.Arena();
        const unsigned char* p = mdb->pg_buf + field.start;
        const std::size_t n = std::size_t(field.siz);
        bool isNull = field.is_null;
        if (col->col_type == MDB_BOOL) {
          // A Boolean's value is its bit in the null mask: set means True.
          if (isNull) AppendAscii(arena, "False", 5);
          else AppendAscii(arena, "True", 4);
          isNull = false;
        } else if (!isNull) {
          switch (col->col_type) {
            case MDB_TEXT:
              if (jet4) {
                AppendJet4Text(arena, p, n);
              } else {
                const UString t = AnsiToUString(std::string_view(reinterpret_cast<const char*>(p), n));
                arena.insert(arena.end(), t.begin(), t.end());
              }
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
                MdbText s(mdb_numeric_to_string(mdb, field.start, col->col_scale, col->col_prec));
                AppendUtf8(arena, s.get());
              } else {
                isNull = true;
              }
              break;
            case MDB_FLOAT:
            case MDB_DOUBLE:
            case MDB_MONEY:
            case MDB_REPID:
              if (n >= std::size_t(col->col_type == MDB_FLOAT ? 4 : col->col_type == MDB_REPID ? 16 : 8)) {
                MdbText s(mdb_col_to_string(mdb, mdb->pg_buf, field.start, col->col_type, field.siz));
                AppendUtf8(arena, s.get());
              } else {
                isNull = true;
              }
              break;
            default:
              // Long binary (OLE) and other kinds are not loaded; they read as NULL.
              isNull = true;
              break;
          }
        }
        out.EndRow(isNull);
      }
      if (++loaded >= UINT32_MAX)
        throw EDatabaseError(Format(u"Table '%s' has too many rows to load.", {select.Table}));
    }
  }
  // A short read (a truncated file, a broken page chain) must not pass for the whole table.
  if (loaded != table->num_rows)
    Damaged(file, Format(u"table '%s' should hold %u rows, but %u could be read.",
                         {select.Table, unsigned(table->num_rows), std::uint64_t(loaded)}));
  for (TJetColumn& c : FColumns) c.Shrink();
}
