#include "jet/JetConnection.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "jet/EDatabaseError.h"
#include "jet/JetConnectionString.h"
#include "jet/JetHandle.h"
#include "jet/JetTableScan.h"
#include "platform/Kernel.h"

namespace {

// A Jet file begins with 00 01 00 00 and the engine's name; byte 0x14 holds the version
// (0 Jet 3, 1 Jet 4). Later versions (ACE) are a different format.
constexpr unsigned char kMagic[] = {0x00, 0x01, 0x00, 0x00};
constexpr char kEngineName[] = "Standard Jet DB";
constexpr std::size_t kVersionOffset = 0x14;
// The system catalog's table definition lives on page 2, so a usable file has at least
// three pages.
constexpr std::uint64_t kMinPages = 3;

[[noreturn]] void Fail(UStringView templ, UStringView file) {
  throw EDatabaseError(Format(templ, {file}));
}

// Checks what libmdb would otherwise trust: the header, the page size and the file size.
void CheckJetFile(const UString& path, TJetConnection::THandle& h) {
  if (DirectoryExists(path)) Fail(u"Could not open '%s': it is a folder, not a database file", path);
  if (!FileExists(path)) Fail(u"Could not find file '%s'.", path);

  std::error_code ec;
  const auto size = std::filesystem::file_size(NativePath(path), ec);
  if (ec) Fail(u"Could not read the size of '%s'.", path);

  std::ifstream in(NativePath(path), std::ios::binary);
  if (!in) Fail(u"Could not open file '%s' for reading.", path);
  std::array<unsigned char, 0x20> header{};
  in.read(reinterpret_cast<char*>(header.data()), header.size());
  if (in.gcount() != std::streamsize(header.size()) ||
      std::memcmp(header.data(), kMagic, sizeof kMagic) != 0 ||
      std::memcmp(header.data() + 4, kEngineName, sizeof kEngineName) != 0)
    Fail(u"Unrecognized database format '%s': not a Jet database.", path);

  switch (header[kVersionOffset]) {
    case 0: h.Version = 3; h.PageSize = 2048; break;
    case 1: h.Version = 4; h.PageSize = 4096; break;
    default:
      Fail(u"Unrecognized database format '%s': a Jet version other than 3 or 4.", path);
  }
  if (size % h.PageSize != 0 || size / h.PageSize < kMinPages)
    throw EDatabaseError(Format(
        u"The database '%s' is damaged or truncated: its size of %u bytes is not a whole "
        u"number of %u-byte pages.",
        {path, std::uint64_t(size), h.PageSize}));
  h.FileSize = size;
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

TJetConnection::TJetConnection() = default;
TJetConnection::~TJetConnection() { Close(); }

void TJetConnection::Open(UStringView connectionString) {
  SetConnectionString(connectionString);
  Open();
}

void TJetConnection::Open() {
  Close();
  const TJetConnectionString parsed(FConnectionString);
  if (const UString* provider = parsed.Find(u"Provider");
      provider && !SameTextAscii(*provider, ProviderName))
    throw EDatabaseError(Format(u"Provider '%s' is not supported; only %s is.",
                                {*provider, UString(ProviderName)}));
  const UString* source = parsed.Find(u"Data Source");
  if (!source || source->empty())
    throw EDatabaseError(u"The connection string names no Data Source.");
  const UString path = *source;

  auto handle = std::make_unique<THandle>();
  CheckJetFile(path, *handle);

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

  FHandle = std::move(handle);
  FFileName = path;
}

void TJetConnection::Close() noexcept {
  FHandle.reset();
  FFileName.clear();
}

int TJetConnection::JetVersion() const { return FHandle ? FHandle->Version : 0; }
