// What the layer checks of a Jet file before a database engine opens it, so that a
// missing, foreign or cut-off file is reported the same way on every platform.
#pragma once

#include <cstdint>

#include "platform/UStrings.h"

struct TJetFileInfo {
  int Version = 0;          // 3 for Access 97, 4 for Access 2000-2003
  unsigned PageSize = 0;    // 2048 or 4096
  std::uint64_t FileSize = 0;
};

// Reads the file's header and size. Raises EDatabaseError with a message naming the file
// when it is a folder, is missing or unreadable, is not a Jet 3 or Jet 4 database, or is
// not a whole number of pages (at least the three that hold the system catalog).
TJetFileInfo CheckJetFile(const UString& path);
