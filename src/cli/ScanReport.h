#pragma once

#include "cli/ReviewReport.h"
#include "duplicates/FileCategory.h"
#include "platform/FileTime.h"
#include "platform/Text.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {
class DuplicatesContainer;
class DuplicatesGroup;
}

namespace kestrane::cli {

// What the report says about the scan itself, gathered when it ended.
struct ScanReportFacts {
    using Date = std::chrono::system_clock::time_point;
    std::vector<std::string> folders;         // as chosen, in list order
    std::vector<std::string> scannedFolders;  // the top folders read
    Date startDate{};
    Date finishDate{};
    bool stopped = false;
    std::uint64_t minimalSize = 0;
    bool minimalSizeAutomatic = false;
    bool fullHash = false;
    bool includeHidden = false;
    bool folderStages = true;
    bool backupsSkipped = false;
    std::uint64_t scannedFiles = 0;
    std::uint64_t possibleDuplicates = 0;
    std::uint64_t actualDuplicates = 0;
    std::uint64_t checkedFolders = 0;
    PerCategory<std::uint64_t> possibleSizes;
    std::array<double, 4> stageSeconds{};  // reading, duplicate files, duplicate folders, similar folders
    double totalSeconds = 0;
    double cpuSeconds = 0;
    std::uint64_t peakMemoryBytes = 0;
};

enum class ReportFormat { human, json, csv };

struct ReportOptions {
    ReportFormat format = ReportFormat::human;
    bool allGroups = false;  // human: every group, not only the biggest
    // Human: mark the selected copies and say what is selected for removal
    // even when nothing is (set when selection options were given).
    bool showSelection = false;
    // The review of the removal list (--review, --sort): human, after the
    // report; JSON, the member "review".
    std::optional<ReviewOptions> review;
    // The folder tree (FSFolderManager's, brought up to date first): human
    // and JSON.
    bool folderTree = false;
};

// What the groups of the categories of the list add up to. Copies inside duplicate
// folders are counted once, with their folder.
struct FoundTotals {
    std::uint64_t groups = 0;
    std::uint64_t size = 0;           // every copy
    std::uint64_t removableSize = 0;  // all copies but one of each group
};
FoundTotals foundTotals(const DuplicatesContainer& container);

// The copies selected for removal (a selected duplicate folder counts once,
// its files with it) and their size.
struct RemovalListTotals {
    std::uint64_t count = 0;
    std::uint64_t size = 0;
};
RemovalListTotals removalListTotals(const DuplicatesContainer& container);

// Every group of the categories 0 to 6, in the order the report lists them
// (category by category, largest first).
std::vector<std::shared_ptr<DuplicatesGroup>> reportedGroups(const DuplicatesContainer& container);

// Writes the report of a finished scan (layouts in docs/report-format.md).
void writeScanReport(std::ostream& out, const DuplicatesContainer& container, const ScanReportFacts& facts,
                     const ReportOptions& options);

// "images", "videos", ... "folders".
std::string_view categoryName(FileCategory category);
// Local time, ISO 8601 with the offset: 2026-12-06T10:15:02+01:00. A year
// outside 0 to 9999 has a sign and at least six digits (+010000-01-01T...);
// a time too far away for the C library's local time is given in UTC.
std::string formatIsoDate(std::chrono::system_clock::time_point date);
std::string formatIsoDate(platform::FileTime time);
// The human report's form: "2026-12-06 10:15", local time.
std::string formatShortDate(platform::FileTime time);
// Bytes the way the preferences count them (1 MB = 1,000,000 bytes): "4.1 MB".
using platform::formatSize;

}  // namespace kestrane::cli
