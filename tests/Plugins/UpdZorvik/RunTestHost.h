// A reference host in a temporary data folder with an update dialog built on it, for
// tests of the update run.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "Plugins/UpdZorvik/uUpdZorvik.h"
#include "host/HostCore.h"
#include "tests/zip/ZipTestFiles.h"

// One host callbook row: OMCALL, OMNAME, OMQTH, GRIDSQUARE, STATE, QSLMANAGER, Use_BUREAU.
using TRow = std::array<std::optional<UString>, kCallbookColumnCount>;

class TRunTestHost {
 public:
  TRunTestHost();
  ~TRunTestHost();

  void Import(const std::vector<TRow>& rows);
  // Every row of the callbook in OMCALL order.
  std::vector<TRow> Rows();
  // The row of a callsign; fails the test when there is not exactly one.
  TRow Row(UStringView call);
  // Log lines written since the host started, without their timestamps.
  std::vector<UString> LogLines();
  // Files left in the download folder.
  std::vector<std::string> DownloadFiles();
  // Checks the field boxes 1 to 5 (Name, QTH, Grid, State, QSL via).
  void UseFields(std::initializer_list<int> boxes);
  // A private copy of a shared package: a run opens its package with no sharing, and
  // other test programs may be reading the shared one.
  std::filesystem::path Package(const std::string& name);

  TTempDir Dir;
  std::unique_ptr<THostCore> Core;
  std::unique_ptr<TfrmUpdZorvik> Dialog;
};

inline std::filesystem::path SharedPackage(const std::string& name) {
  return std::filesystem::path(ZORVIK_FIXTURES) / "packages" / name;
}
