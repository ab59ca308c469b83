// Stage benchmark: opens a Jet database, loads and sorts SELECT * FROM <table> ORDER BY
// <column>, builds the Locate index of that column, and prints the time of each step.
#include <chrono>
#include <cstdio>
#include <string>

#include "jet/EDatabaseError.h"
#include "jet/JetConnection.h"
#include "jet/JetQuery.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: jet_open FILE.mdb [TABLE [COLUMN [--locates]]]\n");
    return 2;
  }
  const std::string table = argc > 2 ? argv[2] : "CALLBOOK";
  const std::string column = argc > 3 ? argv[3] : "CALL";
  const bool locates = argc > 4 && std::string(argv[4]) == "--locates";
  using Clock = std::chrono::steady_clock;
  auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  try {
    const auto t0 = Clock::now();
    TJetConnection db;
    db.Open(U("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(argv[1]) + ";"));
    const auto t1 = Clock::now();
    TJetQuery q(db);
    q.SetSQL(U("SELECT * FROM " + table + " ORDER BY " + column));
    q.Open();
    const auto t2 = Clock::now();
    q.Locate(U(column), u"");  // builds the index
    const auto t3 = Clock::now();
    std::printf("rows %u\nconnect %.0f ms\nload+sort %.0f ms\nindex %.0f ms\n", q.RecordCount(),
                ms(t1 - t0), ms(t2 - t1), ms(t3 - t2));
    std::printf("open+load+sort+index %.0f ms\n", ms(t3 - t0));
    if (!locates) return 0;
    // A million lookups of values that exist, in query order.
    std::uint32_t found = 0;
    TJetField& key = q.FieldByName(U(column));
    std::vector<UString> keys;
    for (q.First(); !q.Eof() && keys.size() < 1000000; q.Next()) keys.push_back(key.AsString());
    const auto t4 = Clock::now();
    for (const UString& k : keys) found += q.Locate(U(column), k);
    const auto t5 = Clock::now();
    std::printf("%u locates %.0f ms (%u found)\n", unsigned(keys.size()), ms(t5 - t4), found);
  } catch (const EDatabaseError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
