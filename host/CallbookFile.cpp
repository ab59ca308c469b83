#include "host/CallbookFile.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/HostFaults.h"
#include "platform/Kernel.h"

namespace {

constexpr std::size_t kMaxRecord = 1 << 20;  // bytes in one record

struct TField {
  std::string Text;
  bool Null = false;
};

// Reads records of either format from the file.
class TRecordReader {
 public:
  explicit TRecordReader(UStringView path) : FPath(path), FIn(std::filesystem::path(UString(path)), std::ios::binary) {
    if (!FIn) throw EHostError(E_FAIL, u"Cannot open " + FPath + u": " + OSErrorText(errno));
  }

  [[noreturn]] void Fail(const std::string& why) const {
    throw EHostError(E_INVALIDARG, FPath + u", line " + IntToStr(FLine) + u": " + U(why));
  }

  // The header decides the format.
  bool ReadHeader(std::vector<TField>& out) {
    std::string line;
    if (!ReadLine(line)) return false;
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    FTsv = line.find('\t') != std::string::npos;
    if (FTsv) {
      SplitTsv(line, out);
    } else {
      FPending = std::move(line);
      FHasPending = true;
      ReadCsv(out);
    }
    return true;
  }

  bool Read(std::vector<TField>& out) {
    if (FTsv) {
      std::string line;
      do {
        if (!ReadLine(line)) return false;
      } while (line.empty());
      SplitTsv(line, out);
      return true;
    }
    return ReadCsv(out);
  }

  int Line() const { return FLine; }

 private:
  bool ReadLine(std::string& line) {
    if (FHasPending) {
      line = std::move(FPending);
      FHasPending = false;
      return true;
    }
    line.clear();
    int c;
    bool any = false;
    while ((c = FIn.get()) != EOF) {
      any = true;
      if (c == '\n') break;
      line.push_back(static_cast<char>(c));
      if (line.size() > kMaxRecord) {
        ++FLine;
        Fail("the line is longer than " + std::to_string(kMaxRecord) + " bytes");
      }
    }
    if (!any) return false;
    ++FLine;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }

  void SplitTsv(const std::string& line, std::vector<TField>& out) {
    out.clear();
    out.emplace_back();
    for (std::size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\t') {
        out.emplace_back();
      } else if (c == '\\') {
        if (++i >= line.size()) Fail("a backslash ends the line");
        switch (line[i]) {
          case '\\': out.back().Text += '\\'; break;
          case 't': out.back().Text += '\t'; break;
          case 'n': out.back().Text += '\n'; break;
          case 'r': out.back().Text += '\r'; break;
          case 'N':
            if (!out.back().Text.empty() || (i + 1 < line.size() && line[i + 1] != '\t'))
              Fail("\\N must stand alone in its field");
            out.back().Null = true;
            break;
          default: Fail(std::string("unknown escape \\") + line[i]);
        }
      } else {
        out.back().Text += c;
      }
    }
  }

  // One CSV record; it may span lines inside quotation marks.
  bool ReadCsv(std::vector<TField>& out) {
    std::string line;
    do {
      if (!ReadLine(line)) return false;
    } while (line.empty());
    out.clear();
    std::size_t i = 0, total = 0;
    for (;;) {
      TField f;
      if (i < line.size() && line[i] == '"') {
        ++i;
        for (;;) {
          if (i >= line.size()) {
            // The quoted field goes on in the next line.
            f.Text += '\n';
            if (!ReadLine(line)) Fail("a quoted field is not closed");
            total += line.size();
            if (total > kMaxRecord) Fail("the record is longer than " + std::to_string(kMaxRecord) + " bytes");
            i = 0;
            continue;
          }
          if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
              f.Text += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          f.Text += line[i++];
        }
        if (i < line.size() && line[i] != ',') Fail("text follows a closing quotation mark");
      } else {
        std::size_t end = line.find(',', i);
        if (end == std::string::npos) end = line.size();
        f.Text = line.substr(i, end - i);
        if (f.Text.find('"') != std::string::npos) Fail("a quotation mark inside an unquoted field");
        f.Null = f.Text.empty();
        i = end;
      }
      out.push_back(std::move(f));
      if (i >= line.size()) break;
      ++i;  // the comma
      if (i >= line.size()) {
        out.push_back(TField{{}, true});
        break;
      }
    }
    return true;
  }

  UString FPath;
  std::ifstream FIn;
  int FLine = 0;
  bool FTsv = false;
  bool FHasPending = false;
  std::string FPending;
};

std::optional<UString> BooleanValue(const TField& f, TRecordReader& r) {
  if (f.Null || f.Text.empty()) return std::nullopt;
  UString v = LowerCaseAscii(Trim(U(f.Text)));
  if (v == u"1" || v == u"-1" || v == u"true" || v == u"yes") return UString(u"1");
  if (v == u"0" || v == u"false" || v == u"no") return UString(u"0");
  r.Fail("Use_BUREAU takes 1, 0, -1, true, false, yes or no, not \"" + f.Text + "\"");
}

}  // namespace

static void WriteEscaped(std::ostream& out, UStringView text) {
  std::string s = UStringToUtf8(text);
  for (char c : s) {
    switch (c) {
      case '\\': out << "\\\\"; break;
      case '\t': out << "\\t"; break;
      case '\n': out << "\\n"; break;
      case '\r': out << "\\r"; break;
      default: out << c;
    }
  }
}

std::size_t TrimmedUtf16Length(std::string_view s) {
  std::size_t from = 0, to = s.size();
  while (from < to && static_cast<unsigned char>(s[from]) <= 0x20) ++from;
  while (to > from && static_cast<unsigned char>(s[to - 1]) <= 0x20) --to;
  std::size_t units = 0;
  for (std::size_t i = from; i < to; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) units += b >= 0xF0 ? 2 : 1;  // four bytes: a surrogate pair
  }
  return units;
}

bool FillsOrLengthens(int column, std::optional<std::string_view> before, std::optional<std::string_view> after) {
  if (column == static_cast<int>(TCallbookColumn::OMCALL)) return false;
  if (IsBooleanColumn(column)) return after == "1";
  // The QSL route is taken whatever its length.
  if (column == static_cast<int>(TCallbookColumn::QSLMANAGER)) return true;
  return after && TrimmedUtf16Length(*after) > (before ? TrimmedUtf16Length(*before) : 0);
}

bool FillsOrLengthens(int column, const std::optional<UString>& before, const std::optional<UString>& after) {
  const std::optional<std::string> b = before ? std::optional(UStringToUtf8(*before)) : std::nullopt;
  const std::optional<std::string> a = after ? std::optional(UStringToUtf8(*after)) : std::nullopt;
  return FillsOrLengthens(column, b ? std::optional<std::string_view>(*b) : std::nullopt,
                          a ? std::optional<std::string_view>(*a) : std::nullopt);
}

void WriteTsvValue(std::ostream& out, const std::optional<UString>& value) {
  if (value)
    WriteEscaped(out, *value);
  else
    out << "\\N";
}

void ImportCallbookFile(TCallbookDb& db, UStringView path, TCallRule rule) {
  TRecordReader reader(path);
  std::vector<TField> fields;
  if (!reader.ReadHeader(fields)) reader.Fail("the file is empty; its first line must name the columns");
  std::vector<int> columns;
  bool haveCall = false;
  for (const TField& f : fields) {
    UString name = Trim(U(f.Text));
    auto col = FindCallbookColumn(name);
    if (!col) reader.Fail("CALLBOOK has no column \"" + UStringToUtf8(name) + "\"");
    for (int c : columns)
      if (c == *col) reader.Fail("column " + UStringToUtf8(name) + " is named twice");
    haveCall = haveCall || *col == static_cast<int>(TCallbookColumn::OMCALL);
    columns.push_back(*col);
  }
  if (!haveCall) reader.Fail("the header names no OMCALL column");

  db.Insert([&](TCallbookRow& row) {
    if (!reader.Read(fields)) return false;
    if (fields.size() != columns.size())
      reader.Fail("the header names " + std::to_string(columns.size()) + " columns but the line has " +
                  std::to_string(fields.size()));
    row = {};
    for (std::size_t i = 0; i < columns.size(); ++i) {
      int c = columns[i];
      const TField& f = fields[i];
      if (IsBooleanColumn(c)) {
        row[c] = BooleanValue(f, reader);
      } else if (!f.Null) {
        if (!IsValidUtf8(f.Text)) reader.Fail("the text is not valid UTF-8");
        row[c] = U(f.Text);
      }
    }
    if (rule == TCallRule::Required && (!row[0] || row[0]->empty())) reader.Fail("OMCALL is empty");
    return true;
  });
}

void ExportCallbookTsv(TCallbookDb::TCursor& cursor, std::ostream& out) {
  for (int c = 0; c < kCallbookColumnCount; ++c) out << (c ? "\t" : "") << UStringToUtf8(CallbookColumnName(c));
  out << '\n';
  for (; !cursor.Eof(); cursor.Next()) {
    for (int c = 0; c < kCallbookColumnCount; ++c) {
      if (c) out << '\t';
      if (cursor.IsNull(c))
        out << "\\N";
      else
        WriteEscaped(out, cursor.Text(c));
    }
    out << '\n';
  }
}
