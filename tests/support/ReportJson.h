#pragma once

#include <nlohmann/json.hpp>

#include <set>
#include <string>

namespace kestrane::test {

// A path member of a JSON report as its bytes (pathBase64 when the name is not UTF-8).
std::string realPath(const nlohmann::json& object);
// Each group of a category of a JSON scan report as a set of real paths.
std::set<std::set<std::string>> groupsIn(const nlohmann::json& report, int category);

}  // namespace kestrane::test
