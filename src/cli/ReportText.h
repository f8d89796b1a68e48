#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace kestrane::cli {

// Paths in what the command line prints (docs/report-format.md).

// A path for a human reader on one line: control characters (a line break
// in a name) as \xNN, every other byte as it is.
std::string printablePath(const std::string& path);
// Sets `key` to the path (its readable form when it is not UTF-8) and, for a
// path that is not UTF-8, `key` + "Base64" to its exact bytes in base64:
// "path" and "pathBase64". Reports keep their keys in the order written.
void putPath(nlohmann::ordered_json& object, const std::string& path, const std::string& key = "path");

}  // namespace kestrane::cli
