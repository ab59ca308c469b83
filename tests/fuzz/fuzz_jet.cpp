// The package database layer on arbitrary file bytes: the bytes become a .mdb file in a
// folder of this process, and the run's query reads it as the update does: connect, load
// SELECT * FROM CALLBOOK ORDER BY CALL, read every field of every row, Locate a few
// values. A damaged file must fail with EDatabaseError and nothing else.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "jet/EDatabaseError.h"
#include "jet/JetConnection.h"
#include "jet/JetField.h"
#include "jet/JetQuery.h"

namespace {

const std::string& DbPath() {
  static const std::string path = [] {
    char dir[] = "/tmp/fuzz_jet.XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    static std::string folder = dir;
    std::atexit([] {
      std::remove((folder + "/DB.mdb").c_str());
      ::rmdir(folder.c_str());
    });
    return folder + "/DB.mdb";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = DbPath();
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
  }
  TJetConnection db;
  try {
    db.Open(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Utf8ToUString(path) + u";");
    TJetQuery query(db);
    query.SetSQL(u"SELECT * FROM CALLBOOK ORDER BY CALL");
    query.Open();
    std::size_t chars = 0;
    UString firstCall, lastName;
    for (query.First(); !query.Eof(); query.Next()) {
      for (std::uint32_t i = 0; i < query.FieldCount(); ++i) {
        TJetField& f = query.Fields(i);
        if (!f.IsNull()) chars += f.AsView().size();
        (void)f.DataType();
      }
      if (firstCall.empty() && !query.FieldByName(u"CALL").IsNull()) firstCall = query.FieldByName(u"CALL").AsString();
      if (TJetField* name = query.FindField(u"Name"); name && !name->IsNull()) lastName = name->AsString();
    }
    if (query.Locate(u"CALL", firstCall) && query.FieldByName(u"CALL").AsView() != firstCall) __builtin_trap();
    query.Locate(u"CALL", u"Q0ABC");
    if (!lastName.empty() && !query.Locate(u"Name", lastName)) __builtin_trap();
    (void)chars;
  } catch (const EDatabaseError&) {
  }
  return 0;
}
