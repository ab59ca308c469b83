// Opening a Jet file through libmdb.
#include <cstring>

#include "jet/EDatabaseError.h"
#include "jet/JetConnection.h"
#include "jet/JetFile.h"
#include "jet/JetMdbHandle.h"
#include "jet/JetTableScan.h"
#include "platform/Kernel.h"

namespace {

[[noreturn]] void Fail(UStringView templ, UStringView file) {
  throw EDatabaseError(Format(templ, {file}));
}

// The system catalog (MSysObjects, defined on page 2) lists every object; a row of type 1
// is a table, and the low 24 bits of its Id give the page of its definition. The catalog
// is read here rather than by libmdb, whose own reader also parses object properties and
// does not survive damaged ones.
constexpr std::uint32_t kCatalogPage = 2;
constexpr int kObjectTable = 1;

void ReadTables(TJetConnection::THandle& h, const UString& path) {
  TJetTableScan scan(h, path, u"MSysObjects", kCatalogPage);
  const int idCol = scan.FindColumn(u"Id"), nameCol = scan.FindColumn(u"Name"),
            typeCol = scan.FindColumn(u"Type");
  if (idCol < 0 || nameCol < 0 || typeCol < 0 || scan.Column(idCol).col_type != MDB_LONGINT ||
      scan.Column(nameCol).col_type != MDB_TEXT || scan.Column(typeCol).col_type != MDB_INT)
    Fail(u"The database '%s' is damaged: its system catalog lacks the expected columns.", path);
  std::vector<char16_t> name;
  scan.ForEachRow([&](const MdbField* fields) {
    const MdbField& type = fields[typeCol];
    const MdbField& id = fields[idCol];
    const MdbField& text = fields[nameCol];
    if (type.is_null || id.is_null || text.is_null || type.siz < 2 || id.siz < 4) return;
    const unsigned char* page = scan.Page();
    if (std::int16_t(page[type.start] | (page[type.start + 1] << 8)) != kObjectTable) return;
    const std::uint32_t tablePage = std::uint32_t(page[id.start]) | (std::uint32_t(page[id.start + 1]) << 8) |
                                    (std::uint32_t(page[id.start + 2]) << 16);
    name.clear();
    AppendJetText(name, page + text.start, std::size_t(text.siz), scan.Jet4());
    h.Tables.push_back({UString(name.begin(), name.end()), tablePage});
  });
}

}  // namespace

void TJetConnection::THandleFree::operator()(THandle* handle) const noexcept { delete handle; }

TJetConnection::THandlePtr TJetConnection::OpenHandle(const UString& path, const TJetFileInfo& file) {
  THandlePtr handle(new THandle);
  handle->Version = file.Version;
  handle->PageSize = file.PageSize;
  handle->FileSize = file.FileSize;

  handle->Mdb.reset(mdb_open(NativePath(path).c_str(), MDB_NOFLAGS));
  if (!handle->Mdb) Fail(u"Unrecognized database format '%s'.", path);
  MdbHandle* mdb = handle->Mdb.get();
  const int libVersion = mdb->f->jet_version == MDB_VER_JET3 ? 3 : 4;
  if (mdb->f->jet_version > MDB_VER_JET4 || libVersion != handle->Version ||
      mdb->fmt->pg_size != ssize_t(handle->PageSize))
    Fail(u"Unrecognized database format '%s'.", path);
  ReadTables(*handle, path);
  // Memo text comes back from libmdb already converted; it must be UTF-8.
  const char* charset = mdb_target_charset(mdb);
  if (charset && std::strcmp(charset, "UTF-8") != 0 && std::strcmp(charset, "UTF8") != 0)
    throw EDatabaseError(Format(u"libmdb converts text to %s, not UTF-8; cannot read '%s'.",
                                {Utf8ToUString(charset), path}));
  return handle;
}
