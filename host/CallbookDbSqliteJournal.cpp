// The SQLite callbook's journal and preview. While a run or preview is open, SQLite
// reports every row an update is about to change, with its values before and after; a
// record of each row whose values differ goes to a chunk held in memory. A journal run's
// chunk is written to the journal, in the transaction of the changes it describes, when
// it has grown large and before every commit; a preview's stays in memory and is read
// back when the preview is rolled back.
//
// JOURNAL_RUN holds one row per run, with the first and last JOURNAL_CHANGE id it wrote.
// JOURNAL_CHANGE holds the chunks: the run, the number of records and the records. A
// record is the callbook row's rowid, a byte with a bit per changed column (bit 0 is
// OMCALL, in table order), the row's callsign before the change, and for each changed
// column its value before and after. A value is a type byte (SQLite's type codes)
// followed by a whole number, 8 bytes of a real number, or a length and the bytes of text.
// Whole numbers and lengths are written 7 bits a byte, low bits first, the top bit set
// on every byte but the last (signed numbers zigzagged first); reals are little-endian. Writing a few large rows instead of one row per change keeps
// the journal's cost low. The tables are made by the first run, so a callbook that was
// never updated, or only previewed, is never written.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <functional>
#include <unordered_map>

#include "host/CallbookDbSqlite.h"
#include "host/HostFaults.h"
#include "platform/Finally.h"

namespace {

// A journal run's chunk is written once it holds this many bytes.
constexpr std::size_t kChunkBytes = 1 << 20;

std::string ColumnName(int column) { return UStringToUtf8(CallbookColumnName(column)); }

std::string Decimal(std::int64_t n) { return std::to_string(n); }

void BindText(sqlite3_stmt* s, int index, UStringView text) {
  sqlite3_bind_text16(s, index, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

std::optional<UString> ColumnText(sqlite3_stmt* s, int column) {
  if (sqlite3_column_type(s, column) == SQLITE_NULL) return std::nullopt;
  if (sqlite3_column_type(s, column) == SQLITE_INTEGER) return Utf8ToUString(std::to_string(sqlite3_column_int64(s, column)));
  auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, column));
  return UString(p ? p : u"", static_cast<std::size_t>(sqlite3_column_bytes16(s, column)) / 2);
}

UString TextOr(sqlite3_stmt* s, int column) {
  auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, column));
  return p ? UString(p, static_cast<std::size_t>(sqlite3_column_bytes16(s, column)) / 2) : UString();
}

bool Changed(std::uint32_t bits, int column) { return (bits >> column & 1) != 0; }

// Whether two values are the same: of one type, and equal.
bool SameValue(sqlite3_value* a, sqlite3_value* b) {
  const int type = sqlite3_value_type(a);
  if (type != sqlite3_value_type(b)) return false;
  switch (type) {
    case SQLITE_NULL:
      return true;
    case SQLITE_INTEGER:
      return sqlite3_value_int64(a) == sqlite3_value_int64(b);
    case SQLITE_FLOAT:
      return sqlite3_value_double(a) == sqlite3_value_double(b);
    default: {
      const bool text = type == SQLITE_TEXT;
      const void* pa = text ? static_cast<const void*>(sqlite3_value_text(a)) : sqlite3_value_blob(a);
      const void* pb = text ? static_cast<const void*>(sqlite3_value_text(b)) : sqlite3_value_blob(b);
      const int n = sqlite3_value_bytes(a);
      return n == sqlite3_value_bytes(b) && (n == 0 || std::memcmp(pa, pb, static_cast<std::size_t>(n)) == 0);
    }
  }
}

// ---- Records ----

// A value as a record holds it.
struct TStoredValue {
  int Type = SQLITE_NULL;
  std::int64_t Int = 0;
  double Real = 0;
  std::string Bytes;  // text (UTF-8) or blob

  std::optional<UString> Text() const {
    switch (Type) {
      case SQLITE_NULL:
        return std::nullopt;
      case SQLITE_INTEGER:
        return Utf8ToUString(std::to_string(Int));
      case SQLITE_FLOAT:
        return Utf8ToUString(std::to_string(Real));
      default:
        return Utf8ToUString(Bytes);
    }
  }
  // Whether the stored value v is this one.
  bool Same(sqlite3_value* v) const {
    if (sqlite3_value_type(v) != Type) return false;
    switch (Type) {
      case SQLITE_NULL:
        return true;
      case SQLITE_INTEGER:
        return sqlite3_value_int64(v) == Int;
      case SQLITE_FLOAT:
        return sqlite3_value_double(v) == Real;
      default: {
        const void* p = Type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v)) : sqlite3_value_blob(v);
        const auto n = static_cast<std::size_t>(sqlite3_value_bytes(v));
        return n == Bytes.size() && (n == 0 || std::memcmp(p, Bytes.data(), n) == 0);
      }
    }
  }
  void Bind(sqlite3_stmt* s, int param) const {
    switch (Type) {
      case SQLITE_INTEGER:
        sqlite3_bind_int64(s, param, Int);
        break;
      case SQLITE_FLOAT:
        sqlite3_bind_double(s, param, Real);
        break;
      case SQLITE_TEXT:
        sqlite3_bind_text(s, param, Bytes.data(), static_cast<int>(Bytes.size()), SQLITE_STATIC);
        break;
      case SQLITE_BLOB:
        sqlite3_bind_blob(s, param, Bytes.data(), static_cast<int>(Bytes.size()), SQLITE_STATIC);
        break;
      default:
        sqlite3_bind_null(s, param);
    }
  }
};

struct TRecord {
  std::int64_t Row = 0;
  std::uint32_t Bits = 0;
  TStoredValue Call;
  std::array<TStoredValue, kCallbookColumnCount> Old, New;
};

template <class T>
void Put(std::string& out, T v) {
  char bytes[sizeof v];
  std::memcpy(bytes, &v, sizeof v);
  if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof v);
  out.append(bytes, sizeof v);
}

void PutVarint(std::string& out, std::uint64_t n) {
  while (n >= 0x80) {
    out += static_cast<char>((n & 0x7F) | 0x80);
    n >>= 7;
  }
  out += static_cast<char>(n);
}

std::uint64_t Zigzag(std::int64_t n) { return (static_cast<std::uint64_t>(n) << 1) ^ static_cast<std::uint64_t>(n >> 63); }
std::int64_t Unzigzag(std::uint64_t n) { return static_cast<std::int64_t>(n >> 1) ^ -static_cast<std::int64_t>(n & 1); }

void PutValue(std::string& out, sqlite3_value* v) {
  const int type = sqlite3_value_type(v);
  out += static_cast<char>(type);
  switch (type) {
    case SQLITE_INTEGER:
      PutVarint(out, Zigzag(sqlite3_value_int64(v)));
      break;
    case SQLITE_FLOAT:
      Put(out, sqlite3_value_double(v));
      break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const void* p = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v)) : sqlite3_value_blob(v);
      const auto n = static_cast<std::uint32_t>(sqlite3_value_bytes(v));
      PutVarint(out, n);
      if (n) out.append(static_cast<const char*>(p), n);
      break;
    }
    default:
      break;
  }
}

// Reads the records of a chunk, checking every length against what is left.
class TRecordReader {
 public:
  TRecordReader(std::string_view data, const UString& path, std::int64_t run) : FData(data), FPath(path), FRun(run) {}
  bool Next(TRecord& r) {
    if (FData.empty()) return false;
    r.Row = Unzigzag(Varint());
    r.Bits = static_cast<unsigned char>(Take(1)[0]);
    if (r.Bits == 0 || r.Bits >> kCallbookColumnCount) Damaged();
    Value(r.Call);
    for (int c = 0; c < kCallbookColumnCount; ++c) {
      if (!Changed(r.Bits, c)) {
        r.Old[c] = r.New[c] = TStoredValue();
        continue;
      }
      Value(r.Old[c]);
      Value(r.New[c]);
    }
    return true;
  }

 private:
  [[noreturn]] void Damaged() const {
    throw EHostError(E_FAIL, u"Callbook " + FPath + u": the journal of run " + Utf8ToUString(Decimal(FRun)) +
                                 u" is damaged.");
  }
  std::string_view Take(std::size_t n) {
    if (n > FData.size()) Damaged();
    std::string_view part = FData.substr(0, n);
    FData.remove_prefix(n);
    return part;
  }
  std::uint64_t Varint() {
    std::uint64_t n = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const auto byte = static_cast<unsigned char>(Take(1)[0]);
      n |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      if (!(byte & 0x80)) return n;
    }
    Damaged();
  }
  template <class T>
  T Get() {
    char bytes[sizeof(T)];
    std::memcpy(bytes, Take(sizeof(T)).data(), sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
    T v;
    std::memcpy(&v, bytes, sizeof(T));
    return v;
  }
  void Value(TStoredValue& v) {
    v.Type = static_cast<unsigned char>(Take(1)[0]);
    switch (v.Type) {
      case SQLITE_NULL:
        break;
      case SQLITE_INTEGER:
        v.Int = Unzigzag(Varint());
        break;
      case SQLITE_FLOAT:
        v.Real = Get<double>();
        break;
      case SQLITE_TEXT:
      case SQLITE_BLOB:
        v.Bytes.assign(Take(Varint()));
        break;
      default:
        Damaged();
    }
  }
  std::string_view FData;
  const UString& FPath;
  std::int64_t FRun;
};

// Every record of a run, in the order written.
void ForEachRecord(TCallbookDb::TStore& st, std::int64_t run, const std::function<void(const TRecord&)>& visit) {
  TSqliteStatement range = st.Prepare("SELECT FIRST_CHANGE,LAST_CHANGE FROM JOURNAL_RUN WHERE RUN=?1");
  sqlite3_bind_int64(range.get(), 1, run);
  if (sqlite3_step(range.get()) != SQLITE_ROW)
    throw EHostError(E_INVALIDARG, u"The journal holds no run " + Utf8ToUString(Decimal(run)) + u".");
  // Ids only grow, so the run's chunks lie between its first and last id; another
  // program's run may have written between them.
  std::string sql = "SELECT DATA FROM JOURNAL_CHANGE WHERE ID>=" + Decimal(sqlite3_column_int64(range.get(), 0));
  if (sqlite3_column_type(range.get(), 1) != SQLITE_NULL) sql += " AND ID<=" + Decimal(sqlite3_column_int64(range.get(), 1));
  TSqliteStatement s = st.Prepare(sql + " AND RUN=" + Decimal(run) + " ORDER BY ID");
  TRecord record;
  for (int rc; (rc = sqlite3_step(s.get())) != SQLITE_DONE;) {
    if (rc != SQLITE_ROW) st.Fail("cannot read the journal");
    const auto* p = static_cast<const char*>(sqlite3_column_blob(s.get(), 0));
    TRecordReader reader(std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 0))),
                         st.FPath, run);
    while (reader.Next(record)) visit(record);
  }
}

void AddChanges(const TRecord& r, std::vector<TValueChange>& changes) {
  for (int c = 0; c < kCallbookColumnCount; ++c)
    if (Changed(r.Bits, c)) changes.push_back({r.Row, r.Call.Text(), c, r.Old[c].Text(), r.New[c].Text()});
}

// A stored value as FillsOrLengthens reads it: text as it is, a whole number in decimal
// (written to digits), nothing for NULL.
std::optional<std::string_view> AsText(sqlite3_value* v, std::array<char, 24>& digits) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER: {
      const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), sqlite3_value_int64(v)).ptr;
      return std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data()));
    }
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
      return std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
    }
  }
}

bool Fills(int column, sqlite3_value* before, sqlite3_value* after) {
  std::array<char, 24> b, a;
  return FillsOrLengthens(column, AsText(before, b), AsText(after, a));
}

// SQLite's report of a row about to change. Only updates of main.CALLBOOK count; a row
// whose values all stay is not recorded. Nothing may raise through SQLite, so a failure
// only marks the capture as failed.
void BeforeChange(void* context, sqlite3* db, int op, const char* schema, const char* table, sqlite3_int64 row,
                  sqlite3_int64) {
  auto& st = *static_cast<TCallbookDb::TStore*>(context);
  if (op != SQLITE_UPDATE || std::strcmp(table, "CALLBOOK") != 0 || std::strcmp(schema, "main") != 0) return;
  std::string& out = st.FChunk;
  const std::size_t start = out.size();
  try {
    sqlite3_value* call = nullptr;
    if (sqlite3_preupdate_old(db, 0, &call) != SQLITE_OK) throw std::bad_alloc();
    PutVarint(out, Zigzag(row));
    const std::size_t bitsAt = out.size();
    out += '\0';
    PutValue(out, call);
    std::uint32_t bits = 0;
    for (int c = 0; c < kCallbookColumnCount; ++c) {
      sqlite3_value *before = nullptr, *after = nullptr;
      if (sqlite3_preupdate_old(db, c, &before) != SQLITE_OK || sqlite3_preupdate_new(db, c, &after) != SQLITE_OK)
        throw std::bad_alloc();
      if (SameValue(before, after)) continue;
      bits |= 1u << c;
      PutValue(out, before);
      PutValue(out, after);
      ++st.FStatementCounts[c];
      if (!Fills(c, before, after)) ++st.FStatementCounts[kCallbookColumnCount + c];
    }
    if (!bits) {
      out.resize(start);
      return;
    }
    out[bitsAt] = static_cast<char>(bits);
    ++st.FStatementRecords;
  } catch (...) {
    out.resize(start);
    st.FCaptureFailed = true;
  }
}

}  // namespace

void TCallbookDb::TStore::CreateCapture() {
  FChunk.clear();
  FChunkRecords = 0;
  FChunkCounts = FWrittenCounts = FCommittedCounts = {};
  FCaptureFailed = false;
  sqlite3_preupdate_hook(FDb.get(), BeforeChange, this);
}

void TCallbookDb::TStore::DropCapture() {
  sqlite3_preupdate_hook(FDb.get(), nullptr, nullptr);
  FChunk.clear();
  FChunk.shrink_to_fit();
  FChunkRecords = 0;
}

void TCallbookDb::TStore::StartStatement() {
  FStatementMark = FChunk.size();
  FStatementRecords = 0;
  FStatementCounts = {};
  FCaptureFailed = false;
}

void TCallbookDb::TStore::EndStatement(bool ok) {
  if (!ok || FCaptureFailed) {
    FChunk.resize(FStatementMark);
    // SQLite may have taken back the whole transaction, not only the statement.
    if (FInTransaction && sqlite3_get_autocommit(FDb.get())) Rollback();
  }
  if (!ok) return;
  if (FCaptureFailed) {
    Rollback();
    throw EHostError(E_OUTOFMEMORY, u"Callbook " + FPath +
                                        u": a change could not be recorded; the changes since the last commit were "
                                        u"taken back.");
  }
  FChunkRecords += FStatementRecords;
  for (std::size_t c = 0; c < FChunkCounts.size(); ++c) FChunkCounts[c] += FStatementCounts[c];
  if (FRecording == TRecording::Journal && FChunk.size() >= kChunkBytes) WriteChunk();
}

void TCallbookDb::TStore::WriteChunk() {
  if (FChunk.empty()) return;
  TSqliteStatement ins = Prepare("INSERT INTO JOURNAL_CHANGE (RUN,RECORDS,DATA) VALUES (?1,?2,?3)");
  sqlite3_bind_int64(ins.get(), 1, FRun);
  sqlite3_bind_int64(ins.get(), 2, FChunkRecords);
  sqlite3_bind_blob(ins.get(), 3, FChunk.data(), static_cast<int>(FChunk.size()), SQLITE_STATIC);
  try {
    Step(ins.get(), "cannot record the changes");
  } catch (...) {
    // The changes must not stay without their records.
    Rollback();
    throw;
  }
  FChunk.clear();
  FChunkRecords = 0;
  for (std::size_t c = 0; c < FWrittenCounts.size(); ++c) FWrittenCounts[c] += FChunkCounts[c];
  FChunkCounts = {};
}

bool TCallbookDb::KeepsJournal() const { return true; }

bool TCallbookDb::Recording() const { return FStore->FRecording != TRecording::None; }

bool TCallbookDb::TStore::HasJournal() {
  TSqliteStatement s = Prepare("SELECT COUNT(*) FROM sqlite_schema WHERE type='table' AND name IN ('JOURNAL_RUN','JOURNAL_CHANGE')");
  if (sqlite3_step(s.get()) != SQLITE_ROW) Fail("cannot read the schema");
  return sqlite3_column_int(s.get(), 0) == 2;
}

std::int64_t TCallbookDb::BeginRun(UStringView kind, UStringView source, UStringView fields,
                                   std::optional<std::int64_t> undoes) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  st.Commit();
  st.Begin();
  try {
    st.Run("CREATE TABLE IF NOT EXISTS JOURNAL_RUN (RUN INTEGER PRIMARY KEY, KIND TEXT NOT NULL, STARTED TEXT NOT NULL, "
           "ENDED TEXT, SOURCE TEXT, FIELDS TEXT, RESULT TEXT, STATEMENTS INTEGER NOT NULL DEFAULT 0, "
           "ROWS_CHANGED INTEGER NOT NULL DEFAULT 0, VALUES_CHANGED INTEGER NOT NULL DEFAULT 0, UNDOES INTEGER, "
           "FIRST_CHANGE INTEGER NOT NULL, LAST_CHANGE INTEGER)");
    st.Run("CREATE TABLE IF NOT EXISTS JOURNAL_CHANGE (ID INTEGER PRIMARY KEY, RUN INTEGER NOT NULL, "
           "RECORDS INTEGER NOT NULL, DATA BLOB NOT NULL)");
    // Ids only grow, so the run's change rows are those from the next id on.
    TSqliteStatement ins = st.Prepare(
        "INSERT INTO JOURNAL_RUN (KIND,STARTED,SOURCE,FIELDS,UNDOES,FIRST_CHANGE) VALUES "
        "(?1,datetime('now','localtime'),?2,?3,?4,(SELECT IFNULL(MAX(ID),0)+1 FROM JOURNAL_CHANGE))");
    BindText(ins.get(), 1, kind);
    BindText(ins.get(), 2, source);
    BindText(ins.get(), 3, fields);
    if (undoes) sqlite3_bind_int64(ins.get(), 4, *undoes);
    st.Step(ins.get(), "cannot record the run");
    st.FRun = sqlite3_last_insert_rowid(st.FDb.get());
    st.Commit();
    st.CreateCapture();
  } catch (...) {
    st.Rollback();
    st.DropCapture();
    throw;
  }
  st.FRecording = TRecording::Journal;
  return st.FRun;
}

void TCallbookDb::SetRunChoices(UStringView source, UStringView fields) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::Journal) throw EHostError(E_FAIL, u"Callbook " + FPath + u": no run is open.");
  st.Begin();
  TSqliteStatement set = st.Prepare("UPDATE JOURNAL_RUN SET SOURCE=?2,FIELDS=?3 WHERE RUN=?1");
  sqlite3_bind_int64(set.get(), 1, st.FRun);
  BindText(set.get(), 2, source);
  BindText(set.get(), 3, fields);
  st.Step(set.get(), "cannot record the run's choices");
}

TColumnCounts TCallbookDb::EndRun(bool succeeded, std::int64_t statements, std::int64_t rowsChanged,
                                  TColumnCounts* otherwise) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::Journal) throw EHostError(E_FAIL, u"Callbook " + FPath + u": no run is open.");
  TColumnCounts counts{};
  TryFinally(
      [&] {
        // The run's records go in first, so that the figures below count all of them.
        st.Begin();
        st.WriteChunk();
        for (int c = 0; c < kCallbookColumnCount; ++c) {
          counts[c] = st.FCommittedCounts[c] + st.FWrittenCounts[c];
          if (otherwise)
            (*otherwise)[c] = st.FCommittedCounts[kCallbookColumnCount + c] + st.FWrittenCounts[kCallbookColumnCount + c];
        }
        std::int64_t values = 0;
        for (std::int64_t n : counts) values += n;
        TSqliteStatement end = st.Prepare(
            "UPDATE JOURNAL_RUN SET ENDED=datetime('now','localtime'),RESULT=?2,STATEMENTS=?3,ROWS_CHANGED=?4,"
            "VALUES_CHANGED=?5,LAST_CHANGE=(SELECT IFNULL(MAX(ID),0) FROM JOURNAL_CHANGE) WHERE RUN=?1");
        sqlite3_bind_int64(end.get(), 1, st.FRun);
        BindText(end.get(), 2, succeeded ? u"succeeded" : u"failed");
        sqlite3_bind_int64(end.get(), 3, statements);
        sqlite3_bind_int64(end.get(), 4, rowsChanged);
        sqlite3_bind_int64(end.get(), 5, values);
        st.Step(end.get(), "cannot record the end of the run");
        st.Commit();
      },
      [&] {
        st.DropCapture();
        st.FRecording = TRecording::None;
      });
  return counts;
}

void TCallbookDb::BeginPreview() {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  st.Commit();
  st.CreateCapture();
  try {
    st.Begin();
  } catch (...) {
    st.DropCapture();
    throw;
  }
  st.FRecording = TRecording::Preview;
}

TChangeSet TCallbookDb::EndPreview() {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::Preview) throw EHostError(E_FAIL, u"Callbook " + FPath + u": no preview is open.");
  TChangeSet changes;
  changes.FEncoded = std::move(st.FChunk);
  for (int c = 0; c < kCallbookColumnCount; ++c) {
    changes.Counts[c] = st.FChunkCounts[c];
    changes.Otherwise[c] = st.FChunkCounts[kCallbookColumnCount + c];
  }
  st.FRecording = TRecording::None;
  TryFinally([&] { st.Rollback(); }, [&] { st.DropCapture(); });
  return changes;
}

void TChangeSet::ForEach(const std::function<bool(const TValueChange&)>& visit) const {
  static const UString kPreview = u"(preview)";
  TRecordReader reader(FEncoded, kPreview, 0);
  for (TRecord r; reader.Next(r);)
    for (int c = 0; c < kCallbookColumnCount; ++c)
      if (Changed(r.Bits, c) && !visit({r.Row, r.Call.Text(), c, r.Old[c].Text(), r.New[c].Text()})) return;
}

std::vector<TJournalRun> TCallbookDb::Runs() {
  TStore& st = *FStore;
  std::vector<TJournalRun> runs;
  if (!st.HasJournal()) return runs;
  TSqliteStatement s = st.Prepare(
      "SELECT RUN,KIND,STARTED,ENDED,SOURCE,FIELDS,RESULT,STATEMENTS,ROWS_CHANGED,VALUES_CHANGED,UNDOES "
      "FROM JOURNAL_RUN ORDER BY RUN DESC");
  for (int rc; (rc = sqlite3_step(s.get())) != SQLITE_DONE;) {
    if (rc != SQLITE_ROW) st.Fail("cannot read the journal");
    TJournalRun& r = runs.emplace_back();
    r.Number = sqlite3_column_int64(s.get(), 0);
    r.Kind = TextOr(s.get(), 1);
    r.Started = TextOr(s.get(), 2);
    r.Ended = TextOr(s.get(), 3);
    r.Source = TextOr(s.get(), 4);
    r.Fields = TextOr(s.get(), 5);
    r.Result = TextOr(s.get(), 6);
    r.Statements = sqlite3_column_int64(s.get(), 7);
    r.RowsChanged = sqlite3_column_int64(s.get(), 8);
    r.ValuesChanged = sqlite3_column_int64(s.get(), 9);
    if (sqlite3_column_type(s.get(), 10) != SQLITE_NULL) r.Undoes = sqlite3_column_int64(s.get(), 10);
  }
  return runs;
}

std::vector<TValueChange> TCallbookDb::Changes(std::int64_t run) {
  TStore& st = *FStore;
  if (!st.HasJournal())
    throw EHostError(E_INVALIDARG, u"The journal holds no run " + Utf8ToUString(Decimal(run)) + u".");
  std::vector<TValueChange> changes;
  ForEachRecord(st, run, [&](const TRecord& r) { AddChanges(r, changes); });
  return changes;
}

namespace {

// What a run did to one row: for each column it changed, the value before its first
// change and after its last.
struct TRowChange {
  std::int64_t Row = 0;
  TStoredValue Call;
  struct TColumn {
    int Column;
    TStoredValue Before, After;
  };
  std::vector<TColumn> Columns;
};

// The newest update run whose changes are in place: an undo takes its run back, and an
// undo of that undo puts the run back again.
std::optional<std::int64_t> NewestStanding(const std::vector<TJournalRun>& newestFirst) {
  std::unordered_map<std::int64_t, bool> undone;
  std::unordered_map<std::int64_t, const TJournalRun*> byNumber;
  for (const TJournalRun& r : newestFirst) byNumber[r.Number] = &r;
  for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it) {
    if (it->Kind != u"undo" || !it->Undoes || it->Result != u"succeeded") continue;
    undone[*it->Undoes] = true;
    auto target = byNumber.find(*it->Undoes);
    if (target != byNumber.end() && target->second->Kind == u"undo" && target->second->Undoes)
      undone[*target->second->Undoes] = false;
  }
  for (const TJournalRun& r : newestFirst)
    if (r.Kind == u"update" && !undone[r.Number]) return r.Number;
  return std::nullopt;
}

}  // namespace

TUndoOutcome TCallbookDb::Undo(std::optional<std::int64_t> run) {
  TStore& st = *FStore;
  if (st.FRecording != TRecording::None) throw EHostError(E_FAIL, u"Callbook " + FPath + u": a run is already open.");
  const std::vector<TJournalRun> runs = Runs();
  if (!run) run = NewestStanding(runs);
  if (!run) throw EHostError(E_FAIL, u"The journal holds no update run to undo.");
  auto target = std::find_if(runs.begin(), runs.end(), [&](const TJournalRun& r) { return r.Number == *run; });
  if (target == runs.end())
    throw EHostError(E_INVALIDARG, u"The journal holds no run " + Utf8ToUString(std::to_string(*run)) + u".");

  // The run's changes, gathered per row in the order the rows were first changed.
  std::vector<TRowChange> rows;
  {
    std::unordered_map<std::int64_t, std::size_t> index;
    ForEachRecord(st, *run, [&](const TRecord& r) {
      auto [at, fresh] = index.emplace(r.Row, rows.size());
      if (fresh) rows.push_back({r.Row, r.Call, {}});
      TRowChange& row = rows[at->second];
      for (int column = 0; column < kCallbookColumnCount; ++column) {
        if (!Changed(r.Bits, column)) continue;
        auto c = std::find_if(row.Columns.begin(), row.Columns.end(), [&](const auto& x) { return x.Column == column; });
        if (c == row.Columns.end())
          row.Columns.push_back({column, r.Old[column], r.New[column]});
        else
          c->After = r.New[column];
      }
    });
    // In table order, so that rows setting the same columns share one statement.
    for (TRowChange& row : rows)
      std::sort(row.Columns.begin(), row.Columns.end(), [](const auto& a, const auto& b) { return a.Column < b.Column; });
  }

  TUndoOutcome out;
  out.Undone = *run;
  out.Run = BeginRun(u"undo", u"run " + Utf8ToUString(std::to_string(*run)), target->Fields, *run);
  try {
    st.Begin();
    TSqliteStatement read = st.Prepare(
        "SELECT OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,Use_BUREAU FROM CALLBOOK WHERE rowid=?1");
    std::unordered_map<std::uint32_t, TSqliteStatement> write;  // by the columns they set
    for (const TRowChange& row : rows) {
      sqlite3_bind_int64(read.get(), 1, row.Row);
      const int rc = sqlite3_step(read.get());
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) st.Fail("cannot read the callbook");
      std::optional<TUndoConflict> conflict;
      if (rc == SQLITE_DONE) {
        conflict = TUndoConflict{row.Row, row.Call.Text(), 0, {}, {}, true};
      } else {
        // A row that no longer holds the run's callsign is another row now.
        const bool callChanged = std::any_of(row.Columns.begin(), row.Columns.end(),
                                             [](const auto& c) { return c.Column == 0; });
        if (!callChanged && !row.Call.Same(sqlite3_column_value(read.get(), 0)))
          conflict = TUndoConflict{row.Row, row.Call.Text(), 0, row.Call.Text(), ColumnText(read.get(), 0)};
        for (const auto& c : row.Columns) {
          if (conflict) break;
          if (!c.After.Same(sqlite3_column_value(read.get(), c.Column)))
            conflict = TUndoConflict{row.Row, ColumnText(read.get(), 0), c.Column, c.After.Text(),
                                     ColumnText(read.get(), c.Column)};
        }
      }
      sqlite3_reset(read.get());
      if (conflict) {
        out.Conflicts.push_back(std::move(*conflict));
        continue;
      }
      // One statement per row, so the undo's journal holds one change row per row.
      std::uint32_t set = 0;
      for (const auto& c : row.Columns) set |= 1u << c.Column;
      TSqliteStatement& w = write[set];
      if (!w) {
        std::string sql = "UPDATE CALLBOOK SET ";
        for (std::size_t i = 0; i < row.Columns.size(); ++i)
          sql += (i ? "," : "") + ColumnName(row.Columns[i].Column) + "=?" + std::to_string(i + 1);
        w = st.Prepare(sql + " WHERE rowid=?" + std::to_string(row.Columns.size() + 1));
      }
      for (std::size_t i = 0; i < row.Columns.size(); ++i) row.Columns[i].Before.Bind(w.get(), int(i + 1));
      sqlite3_bind_int64(w.get(), int(row.Columns.size() + 1), row.Row);
      st.StartStatement();
      const int done = sqlite3_step(w.get());
      sqlite3_reset(w.get());
      st.EndStatement(done == SQLITE_DONE);
      if (done != SQLITE_DONE) st.Fail("cannot restore a row");
      out.ValuesRestored += static_cast<std::int64_t>(row.Columns.size());
      ++out.RowsRestored;
    }
  } catch (...) {
    // All or nothing: the undo's changes go, and the run is recorded as failed.
    st.Rollback();
    try {
      EndRun(false, 0, 0);
    } catch (...) {
    }
    throw;
  }
  EndRun(true, out.ValuesRestored, out.RowsRestored);
  return out;
}
