// Shared helpers of the package database tests: fixture paths, the rows of tiny.tsv,
// scratch files and expected failures.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/UStrings.h"

using TRow = std::vector<std::optional<UString>>;  // nullopt is NULL

// The path of a fixture file: under the folder that the environment variable
// ZORVIK_FIXTURES names, or else the one the build was configured with.
std::string Fixture(const std::string& relative);
// The pieces of s between the separators.
std::vector<std::string> Split(const std::string& s, char sep);
// The rows of packages/tiny.tsv, in insertion order.
std::vector<TRow> TinyRows();
// A fresh scratch folder for the running test, removed by the next call of the same test.
std::string ScratchDir();
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
UString JetConnectionStringFor(const std::string& path);
// The message of the EDatabaseError that action raises; "(no error)" when it raises none.
std::string ErrorOf(const std::function<void()>& action);
// A copy of mdb/callbook-tiny.mdb in the scratch folder under name, changed by edit.
std::string AlteredCopy(const std::string& name, const std::function<void(std::string&)>& edit);
// Expects opening path to fail with EDatabaseError naming the file and containing what,
// and the connection to stay closed.
void ExpectOpenFails(const std::string& path, const std::string& what);
