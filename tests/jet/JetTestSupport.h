// Shared helpers of the package database tests: fixture paths, the rows of tiny.tsv,
// mdb-export as a second reader, and scratch files.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/UStrings.h"

using TRow = std::vector<std::optional<UString>>;  // nullopt is NULL

std::string Fixture(const std::string& relative);
// The rows of packages/tiny.tsv, in insertion order.
std::vector<TRow> TinyRows();
// The table as mdb-export prints it, in table order, with dates as yyyy-mm-dd hh:nn:ss.
// mdb-export cannot tell NULL from empty text; both come back empty.
std::vector<std::vector<UString>> MdbExport(const std::string& file, const std::string& table);
// A fresh scratch folder for the running test, removed by the next call of the same test.
std::string ScratchDir();
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
UString JetConnectionStringFor(const std::string& path);
// The message of the EDatabaseError that action raises; "(no error)" when it raises none.
std::string ErrorOf(const std::function<void()>& action);
