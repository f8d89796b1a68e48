#include "cli/ScanCommand.h"
#include "cli/ScanReport.h"
#include "support/TestSupport.h"

#include "duplicates/DuplicatesContainer.h"
#include "folders/DuplicatesHeaps.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <limits>
#include <regex>
#include <set>
#include <sstream>

namespace kestrane::cli {
namespace {

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
    EXPECT_EQ(categoryName(FileCategory::image), "images");
    EXPECT_EQ(categoryName(FileCategory::folders), "folders");
}

TEST(ScanReportTextTest, EveryFileTimeIsWrittenAsItsCalendarDate) {
    using platform::FileTime;
    const test::ScopedTimeZone utc("UTC0");
    struct Case {
        std::int64_t seconds;
        const char* iso;
    };
    const Case cases[] = {
        {1'700'000'000, "2023-11-14T22:13:20+00:00"},
        {10'426'881'600, "2300-06-01T12:00:00+00:00"},  // past 2262, where 64-bit nanoseconds end
        {253'402'300'799, "9999-12-31T23:59:59+00:00"},
        {253'402'300'800, "+010000-01-01T00:00:00+00:00"},
        {-14'826'672'000, "1500-03-01T00:00:00+00:00"},
        {-62'167'219'201, "-000001-12-31T23:59:59+00:00"},
        // Beyond the years a struct tm holds: the calendar date in UTC.
        {std::numeric_limits<std::int64_t>::max(), "+292277026596-12-04T15:30:07+00:00"},
        {std::numeric_limits<std::int64_t>::min(), "-292277022657-01-27T08:29:52+00:00"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatIsoDate(FileTime{c.seconds, 999'999'999}), c.iso) << c.seconds;

    // Local time, with the daylight-saving rule of the year itself.
    const test::ScopedTimeZone newYork("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(formatIsoDate(FileTime{10'426'881'600, 0}), "2300-06-01T08:00:00-04:00");
    EXPECT_EQ(formatIsoDate(FileTime{10'426'881'600 - 136 * 86400, 0}), "2300-01-16T07:00:00-05:00");
    EXPECT_EQ(formatIsoDate(FileTime{std::numeric_limits<std::int64_t>::max(), 0}),
              "+292277026596-12-04T15:30:07+00:00");
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

    // Sizes no file can reach would turn negative in the scan.
    options = parseScanCommandOptions({"-m", "9223372036854775807", "x"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->minimalSizeBytes, 9223372036854775807u);
    for (const char* beyond : {"9223372036854775808", "10000000T", "18446744073709551615", "8589934592GiB"}) {
        error.clear();
        EXPECT_FALSE(parseScanCommandOptions({"-m", beyond, "x"}, error)) << beyond;
        EXPECT_NE(error.find("is larger than any file can be (at most 9223372036854775807 bytes)"), std::string::npos)
            << beyond << ": " << error;
    }

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--min-size"}, {"--all=yes", "x"}, {"--output", "", "x"}, {"-m", "-5", "x"}}) {
        error.clear();
        EXPECT_FALSE(parseScanCommandOptions(bad, error)) << bad[0];
        EXPECT_FALSE(error.empty()) << bad[0];
    }
}

// Six folders holding the same two files (and one of their own each): a
// similar pair of every two of them, fifteen pairs of one size.
class SimilarPairsReportTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        for (int n = 1; n <= 6; ++n) {
            const std::string folder = "f" + std::to_string(n);
            m_tree.writeFile(folder + "/a.txt", "alpha content\n");
            m_tree.writeFile(folder + "/b.txt", "beta content\n");
            m_tree.writeFile(folder + "/own" + std::to_string(n) + ".txt", "only in " + folder + "\n");
        }
        m_outcome = test::scanFolders({m_tree.path()});
        ASSERT_NE(m_outcome.container, nullptr);
        m_heaps = std::dynamic_pointer_cast<DuplicatesHeaps>(m_outcome.container->getHeaps());
        ASSERT_NE(m_heaps, nullptr);
    }
    // Recomputes the similar folders keeping at most count pairs.
    void keepAtMost(std::uint64_t count) {
        m_heaps->setMaximalPairCount(count);
        m_outcome.container->validateEmptyDataAfterRemoveWithListener(nullptr);
    }
    std::string report(ReportFormat format) const {
        std::ostringstream out;
        writeScanReport(out, *m_outcome.container, {}, {format, false});
        return out.str();
    }
    nlohmann::json jsonReport() const {
        auto parsed = nlohmann::json::parse(report(ReportFormat::json), nullptr, false);
        EXPECT_FALSE(parsed.is_discarded());
        return parsed;
    }
    // The listed pairs, each as its two folder names.
    static std::set<std::set<std::string>> pairsOf(const nlohmann::json& report) {
        std::set<std::set<std::string>> pairs;
        for (const auto& pair : report["similarFolders"]) {
            EXPECT_EQ(pair["size"], 54);
            EXPECT_EQ(pair["sharedGroups"], 2);
            std::set<std::string> names;
            for (const auto& folder : pair["folders"]) {
                const std::string path = folder["path"];
                names.insert(path.substr(path.rfind('/') + 1));
            }
            pairs.insert(names);
        }
        return pairs;
    }

    test::TempDir m_tree;
    test::ScanOutcome m_outcome;
    std::shared_ptr<DuplicatesHeaps> m_heaps;
};

TEST_F(SimilarPairsReportTest, EveryPairIsListedOnceAndNoneIsLeftOut) {
    const auto json = jsonReport();
    ASSERT_EQ(json["similarFolders"].size(), 15u);
    std::set<std::set<std::string>> expected;
    for (int a = 1; a <= 6; ++a)
        for (int b = a + 1; b <= 6; ++b) expected.insert({"f" + std::to_string(a), "f" + std::to_string(b)});
    EXPECT_EQ(pairsOf(json), expected);
    EXPECT_EQ(json["similarFolderPairsLeftOut"], 0);

    const std::string human = report(ReportFormat::human);
    EXPECT_NE(human.find("Similar folders, the 10 biggest of 15 pairs:\n"), std::string::npos) << human;
    std::size_t listed = 0;
    for (auto at = human.find("\n    and "); at != std::string::npos; at = human.find("\n    and ", at + 1)) ++listed;
    EXPECT_EQ(listed, 10u);
    EXPECT_EQ(human.find("left out"), std::string::npos) << human;
}

TEST_F(SimilarPairsReportTest, PairsBeyondTheBoundAreCountedAsLeftOutInBothReports) {
    keepAtMost(4);
    const auto json = jsonReport();
    // Of one size, the first folders' pairs are kept: f1 with f2 to f5.
    EXPECT_EQ(pairsOf(json), (std::set<std::set<std::string>>{{"f1", "f2"}, {"f1", "f3"}, {"f1", "f4"}, {"f1", "f5"}}));
    EXPECT_EQ(json["similarFolderPairsLeftOut"], 11);
    // The sizes still count every pair found.
    EXPECT_EQ(json["foundSize"], 6 * 27);

    const std::string human = report(ReportFormat::human);
    EXPECT_NE(human.find("Similar folders, the biggest pairs:\n"), std::string::npos) << human;
    EXPECT_NE(human.find("\n  11 more similar-folder pairs were found and left out: only the 4 biggest pairs are "
                         "kept.\n"),
              std::string::npos)
        << human;

    keepAtMost(0);
    EXPECT_TRUE(jsonReport()["similarFolders"].empty());
    EXPECT_EQ(jsonReport()["similarFolderPairsLeftOut"], 15);
    EXPECT_NE(report(ReportFormat::human).find("15 more similar-folder pairs"), std::string::npos);
}

}  // namespace
}  // namespace kestrane::cli
