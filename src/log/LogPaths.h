#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace kestrane {

class JObject;

// Paths in a removal log. A log is UTF-8 JSON; Linux paths are bytes. A path
// whose bytes are UTF-8 is written as it is. A path that is not UTF-8 is
// written in its readable form (each byte that is not part of a UTF-8
// sequence replaced by U+FFFD) under its key, which any reader of the log
// still reads as the path, and its exact bytes in standard base64 under the
// same key followed by " base64" ("path base64", "original path base64",
// "path in trash base64"). A reader takes the base64 member when there is one.

// Sets `key` (and, for a path that is not UTF-8, `key` + " base64") in the
// record, with the sort position `order` for the key; the base64 member
// gets `base64Order`, after every key of the record.
void setLogPath(JObject& record, const std::string& key, const std::string& path, std::uint64_t order,
                std::uint64_t base64Order);

// The path under `key` of a record read from a log file: the bytes of its
// base64 member when that is present and valid, else the text. None when the
// key holds no string.
std::optional<std::string> logPath(const nlohmann::json& record, const std::string& key);

}  // namespace kestrane
