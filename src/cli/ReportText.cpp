#include "cli/ReportText.h"

#include "platform/Text.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace kestrane::cli {

std::string printablePath(const std::string& path) {
    std::string text;
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

void putPath(nlohmann::ordered_json& object, const std::string& path, const std::string& key) {
    object[key] = path;  // invalid bytes become U+FFFD when dumped
    if (!platform::isValidUtf8(path)) object[key + "Base64"] = platform::base64Encode(path);
}

}  // namespace kestrane::cli
