#include "cli/ScanCommand.h"
#include "cli/ScanReport.h"
#include "cli/TextEncoding.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

namespace kestrane::cli {
namespace {

TEST(ScanReportTextTest, Utf8IsRecognisedExactlyAndOtherBytesAreEncodedLosslessly) {
    EXPECT_TRUE(isValidUtf8("plain/path"));
    EXPECT_TRUE(isValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7"));  // é € 📷
    EXPECT_FALSE(isValidUtf8("caf\xE9"));                                 // Latin-1
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));                                // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));                            // overlong, three bytes
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));                            // a surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));                        // beyond U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));                                // cut short

    EXPECT_EQ(base64Encode(""), "");
    EXPECT_EQ(base64Encode("f"), "Zg==");
    EXPECT_EQ(base64Encode("fo"), "Zm8=");
    EXPECT_EQ(base64Encode("foo"), "Zm9v");
    EXPECT_EQ(base64Encode("/a\xFF\xFE"), "L2H//g==");
}

TEST(ScanReportTextTest, SizesCountThousandsAndDatesCarryTheirOffset) {
    EXPECT_EQ(formatSize(0), "0 bytes");
    EXPECT_EQ(formatSize(1), "1 byte");
    EXPECT_EQ(formatSize(999), "999 bytes");
    EXPECT_EQ(formatSize(1000), "1.0 KB");
    EXPECT_EQ(formatSize(1048576), "1.0 MB");
    EXPECT_EQ(formatSize(999999), "1.0 MB");
    EXPECT_EQ(formatSize(123456789), "123 MB");
    EXPECT_EQ(formatSize(4000000000000ull), "4.0 TB");

    const std::string date = formatIsoDate(std::chrono::system_clock::from_time_t(1700000000));
    EXPECT_TRUE(std::regex_match(date, std::regex(R"(2023-11-1[45]T\d\d:\d\d:20[+-]\d\d:\d\d)"))) << date;
    EXPECT_EQ(categoryName(0), "images");
    EXPECT_EQ(categoryName(6), "folders");
    EXPECT_EQ(categoryName(7), "");
}

TEST(ScanCommandOptionsTest, ValuesMayBeAttachedAndADoubleDashEndsTheOptions) {
    std::string error;
    auto options = parseScanCommandOptions({"--min-size=2M", "-F", "csv", "--", "--odd-folder", "b"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->minimalSize, ScanCommandOptions::MinimalSize::fixed);
    EXPECT_EQ(options->minimalSizeBytes, 2000000u);
    EXPECT_EQ(options->report.format, ReportFormat::csv);
    EXPECT_EQ(options->folders, (std::vector<std::string>{"--odd-folder", "b"}));

    options = parseScanCommandOptions({"-m", "0", "--no-hidden", "--full-hash", "x"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->minimalSize, ScanCommandOptions::MinimalSize::all);
    EXPECT_EQ(options->includeHidden, false);
    EXPECT_EQ(options->fullHash, true);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--min-size"}, {"--all=yes", "x"}, {"--output", "", "x"}, {"-m", "-5", "x"}}) {
        error.clear();
        EXPECT_FALSE(parseScanCommandOptions(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
}

}  // namespace
}  // namespace kestrane::cli
