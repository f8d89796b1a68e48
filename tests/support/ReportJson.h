#pragma once

#include "support/ChildProcess.h"

#include <nlohmann/json.hpp>

#include <set>
#include <string>

namespace kestrane::test {

#ifdef KESTRANE_BINARY
// The built kestrane program, for the command-line tests.
inline const std::string kBinary = KESTRANE_BINARY;
#endif

// The JSON report a program printed; fails the test unless it exited with 0
// and printed JSON.
nlohmann::json reportOf(const ChildProcess::Result& result);

// A path member of a JSON report as its bytes (pathBase64 when the name is not UTF-8).
std::string realPath(const nlohmann::json& object);
// Each group of a category of a JSON scan report as a set of real paths.
std::set<std::set<std::string>> groupsIn(const nlohmann::json& report, int category);

}  // namespace kestrane::test
