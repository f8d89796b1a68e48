#include "support/ReportJson.h"

#include <gtest/gtest.h>

namespace kestrane::test {

namespace {

std::string decodeBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=') break;
        value = value << 6 | static_cast<unsigned>(alphabet.find(c));
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return bytes;
}

}  // namespace

nlohmann::json reportOf(const ChildProcess::Result& result) {
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    auto report = nlohmann::json::parse(result.out, nullptr, false);
    EXPECT_FALSE(report.is_discarded()) << result.out;
    return report;
}

std::string realPath(const nlohmann::json& object) {
    return object.contains("pathBase64") ? decodeBase64(object["pathBase64"]) : object["path"].get<std::string>();
}

// Each group of a category of the report as a set of real paths.
std::set<std::set<std::string>> groupsIn(const nlohmann::json& report, int category) {
    std::set<std::set<std::string>> groups;
    for (const auto& group : report["categories"][category]["groups"]) {
        std::set<std::string> paths;
        for (const auto& item : group["items"]) paths.insert(realPath(item));
        groups.insert(paths);
    }
    return groups;
}

}  // namespace kestrane::test
