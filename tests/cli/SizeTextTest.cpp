#include "cli/SizeText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using kestrane::cli::parseSize;

namespace {

struct SizeCase {
    std::string text;
    std::optional<std::uint64_t> bytes;
};

constexpr std::uint64_t kMax = UINT64_MAX;

TEST(SizeTextTest, ReadsBytesDecimalAndBinaryUnitsAndFractions) {
    const SizeCase cases[] = {
        {"0", 0},         {"4096", 4096},     {"4096B", 4096},      {"500K", 500000},         {"2M", 2000000},
        {"2mb", 2000000}, {"1G", 1000000000}, {"3T", 3000000000000}, {"64KiB", 65536},        {"1mib", 1048576},
        {"2GiB", 2147483648}, {"1TiB", 1099511627776}, {"1.5M", 1500000}, {"1.500M", 1500000}, {"0.5KiB", 512},
        {"007", 7},       {"18446744073709551615B", kMax},
        {"1.25", std::nullopt},     // a fraction of a byte
        {"0.0001k", std::nullopt},  // 0.1 byte
    };
    for (const auto& c : cases) EXPECT_EQ(parseSize(c.text), c.bytes) << c.text;
}

TEST(SizeTextTest, RejectsGarbageSignsSpacesAndOverflow) {
    const char* rejected[] = {
        "", "k", "M2", "-1", "+1", " 1", "1 ", "1 M", "1.", ".5M", "1..5M", "1e3", "1,000", "12x", "2MM", "2Mi",
        "2KB!", "0x10", "1.5.5", "99999999999999999999999999999",
        "18446744073709551616", "18446744073709552k", "16777216TiB",  // 2^64 bytes and just beyond
    };
    for (const char* text : rejected) EXPECT_EQ(parseSize(text), std::nullopt) << '"' << text << '"';
    // The largest sizes a unit can still express.
    EXPECT_EQ(parseSize("16777215TiB"), std::uint64_t{16777215} << 40);
    EXPECT_EQ(parseSize("18446744073709551.615k"), kMax);
    EXPECT_EQ(parseSize("18446744073709551.616k"), std::nullopt);
}

}  // namespace
