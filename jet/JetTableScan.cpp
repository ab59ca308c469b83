#include "jet/JetTableScan.h"

#include <bit>
#include <cstring>

#include "jet/EDatabaseError.h"
#include "platform/Locale.h"

namespace {

// Row-offset flags in a data page's row table.
constexpr int kRowDeleted = 0x4000;
constexpr int kRowOverflow = 0x8000;
constexpr int kRowOffsetMask = 0x1FFF;

}  // namespace

void AppendJetText(std::vector<char16_t>& out, const unsigned char* p, std::size_t n, bool jet4) {
  if (!jet4) {
    const UString t = AnsiToUString(std::string_view(reinterpret_cast<const char*>(p), n));
    out.insert(out.end(), t.begin(), t.end());
    return;
  }
  // Compressed text starts with FF FE: single bytes stand for U+0001-U+00FF, and each 00
  // byte switches between single bytes and UTF-16LE pairs.
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
  if (units == 0) return;  // an empty arena has no buffer to copy into
  const std::size_t old = out.size();
  out.resize(old + units);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out.data() + old, p, units * 2);
  } else {
    for (std::size_t i = 0; i < units; ++i) out[old + i] = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
  }
}

TJetTableScan::TJetTableScan(TJetConnection::THandle& handle, const UString& file,
                             const UString& table, std::uint32_t page)
    : FHandle(handle), FFile(file), FName(table), FFields(MDB_MAX_COLS) {
  const std::uint64_t pages = handle.FileSize / handle.PageSize;
  if (page == 0 || page >= pages) Damaged(u"its definition lies outside the file.");

  FEntry.mdb = handle.Mdb.get();
  FEntry.object_type = MDB_TABLE;
  FEntry.table_pg = page;
  const std::string name = UStringToUtf8(table).substr(0, MDB_MAX_OBJ_NAME);
  std::memcpy(FEntry.object_name, name.data(), name.size());

  FTable.reset(mdb_read_table(&FEntry));
  // Scanning a table whose page map libmdb could not find crashes libmdb.
  if (!FTable || !FTable->usage_map || FTable->map_sz == 0)
    Damaged(u"its definition cannot be read.");
  if (!mdb_read_columns(FTable.get()) || FTable->num_cols == 0 ||
      FTable->num_cols > MDB_MAX_COLS || FTable->columns->len != FTable->num_cols)
    Damaged(u"its columns cannot be read.");
  for (unsigned i = 0; i < FTable->num_cols; ++i)
    FColumns.push_back(static_cast<MdbColumn*>(g_ptr_array_index(FTable->columns, i)));
}

UString TJetTableScan::ColumnName(unsigned i) const { return Utf8ToUString(FColumns[i]->name); }

int TJetTableScan::FindColumn(UStringView name) const {
  for (unsigned i = 0; i < FColumns.size(); ++i)
    if (SameTextAscii(ColumnName(i), name)) return int(i);
  return -1;
}

void TJetTableScan::Damaged(UStringView what) const {
  throw EDatabaseError(
      Format(u"The database '%s' is damaged: table '%s': %s", {FFile, FName, what}));
}

void TJetTableScan::ForEachRow(const std::function<void(const MdbField*)>& onRow) {
  MdbHandle* mdb = FHandle.Mdb.get();
  MdbTableDef* table = FTable.get();
  const unsigned numCols = ColumnCount();
  const std::size_t pageSize = FHandle.PageSize;
  std::vector<MdbField> byColumn(numCols);
  std::uint64_t seen = 0;

  mdb_rewind_table(table);
  while (mdb_read_next_dpg(table)) {
    const unsigned rows = unsigned(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
    for (unsigned r = 0; r < rows; ++r) {
      int start = 0;
      std::size_t len = 0;
      if (mdb_find_row(mdb, int(r), &start, &len) == -1 || len == 0) continue;
      // Deleted rows are skipped; an overflow entry only points at the row's new place,
      // which the scan meets on that row's own page.
      if (start & (kRowDeleted | kRowOverflow)) continue;
      start &= kRowOffsetMask;
      if (mdb_crack_row(table, start, len, FFields.data()) != int(numCols))
        Damaged(Format(u"row %u on page %u cannot be read.", {r, unsigned(table->cur_phys_pg)}));
      for (unsigned f = 0; f < numCols; ++f) {
        const MdbField& field = FFields[f];
        if (field.colnum < 0 || unsigned(field.colnum) >= numCols || field.start < 0 ||
            field.siz < 0 || std::size_t(field.start) + std::size_t(field.siz) > pageSize)
          Damaged(Format(u"row %u on page %u has a bad field.", {r, unsigned(table->cur_phys_pg)}));
        byColumn[unsigned(field.colnum)] = field;
      }
      onRow(byColumn.data());
      if (++seen > table->num_rows) break;
    }
    if (seen > table->num_rows) break;
  }
  // A short read (a truncated file, a broken page chain) must not pass for the whole table.
  if (seen != table->num_rows)
    Damaged(Format(u"it should hold %u rows, but %s could be read.",
                   {unsigned(table->num_rows),
                    seen > table->num_rows ? UString(u"more") : IntToStr(std::int64_t(seen))}));
}
