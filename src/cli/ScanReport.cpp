#include "cli/ScanReport.h"

#include "cli/ReportText.h"


#include "platform/Text.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/HeapsCollection.h"
#include "cli/FolderTreeReport.h"
#include "folders/HeapsFolderData.h"
#include "scan/FolderSystemItem.h"
#include "scan/ScanProblems.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <ostream>
#include <unordered_map>

namespace kestrane::cli {

namespace {

using json = nlohmann::ordered_json;
using Groups = std::vector<std::shared_ptr<DuplicatesGroup>>;

constexpr int kReportVersion = 1;
constexpr std::size_t kBiggestGroupsPerCategory = 5;
constexpr std::size_t kBiggestSimilarPairs = 10;

// Largest first; equal sizes in the order the groups were found.
Groups sortedGroups(const DuplicatesCategory& category) {
    Groups groups = category.getGroups();
    std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
        if (a->getTotalSize() != b->getTotalSize()) return a->getTotalSize() > b->getTotalSize();
        return a->getGroupID() < b->getGroupID();
    });
    return groups;
}

json pathObject(const std::string& path) {
    json object = json::object();
    putPath(object, path);
    return object;
}

json pathArray(const std::vector<std::string>& paths) {
    json array = json::array();
    for (const auto& path : paths) array.push_back(pathObject(path));
    return array;
}

std::string itemDate(const DuplicateItem& item) {
    return formatIsoDate(item.getLastModificationDate());
}

// The other names (hard links) of the copy, when it has any.
const std::vector<FileSystemItem*>* otherNamesOf(const DuplicatesContainer& container, const DuplicateItem& item) {
    const FileSystemItem* file = item.getFileSystemItem();
    return file ? container.getOtherNames(file) : nullptr;
}

json groupObject(const DuplicatesContainer& container, const DuplicatesGroup& group) {
    json items = json::array();
    for (const auto& item : group.getItems()) {
        json entry = json::object();
        putPath(entry, item->getFileItemPath());
        entry["size"] = item->getFileItemSize();
        entry["modified"] = itemDate(*item);
        entry["selected"] = item->isSelected();
        if (const auto* names = otherNamesOf(container, *item)) {
            json others = json::array();
            for (const FileSystemItem* name : *names) others.push_back(pathObject(name->path()));
            entry["otherNames"] = std::move(others);
        }
        items.push_back(std::move(entry));
    }
    return json{{"id", group.getGroupID()},
                {"size", group.oneItemSize()},
                {"compared", group.isComparedInPart() ? "partial" : "whole"},
                {"items", std::move(items)}};
}

std::vector<ScanProblem> problemsOf(const DuplicatesContainer& container) {
    const auto& problems = container.getScanProblems();
    return problems ? problems->list() : std::vector<ScanProblem>{};
}

const HeapsCollection* heapsOf(const DuplicatesContainer& container) {
    return container.getHeaps().get();
}

std::string folderPathOf(const FolderSystemItem* folder) {
    return folder ? folder->path() : std::string();
}

std::string jsonText(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Writes `"name": [` and one element a line as `emit` hands them over, then
// `]`. The report is written piece by piece like this so that a result of a
// million copies never stands whole in memory as one JSON value.
template <typename Fill>
void writeArrayMember(std::ostream& out, const char* indent, const char* name, Fill&& fill) {
    out << indent << '"' << name << "\": [";
    bool first = true;
    fill([&](const json& element) {
        out << (first ? "\n" : ",\n") << indent << "  " << jsonText(element);
        first = false;
    });
    out << (first ? "]" : std::string("\n") + indent + "]");
}

void writeJson(std::ostream& out, const DuplicatesContainer& container, const ScanReportFacts& facts,
               const ReportOptions& options) {
    json head = json::object();
    head["format"] = "kestrane-scan-report";
    head["version"] = kReportVersion;
    head["kestraneVersion"] = KESTRANE_VERSION;
    head["folders"] = pathArray(facts.folders);
    head["scannedFolders"] = pathArray(facts.scannedFolders);
    head["startDate"] = formatIsoDate(facts.startDate);
    head["finishDate"] = formatIsoDate(facts.finishDate);
    head["stopped"] = facts.stopped;
    head["minimalSize"] = facts.minimalSize;
    head["minimalSizeAutomatic"] = facts.minimalSizeAutomatic;
    head["fullHash"] = facts.fullHash;
    head["includeHidden"] = facts.includeHidden;
    head["folderStages"] = facts.folderStages;
    head["backupsSkipped"] = facts.backupsSkipped;
    head["counters"] = {{"scannedFiles", facts.scannedFiles},
                        {"possibleDuplicates", facts.possibleDuplicates},
                        {"actualDuplicates", facts.actualDuplicates},
                        {"checkedFolders", facts.checkedFolders}};
    head["foundSize"] = container.getAllFilesSize();
    head["removableSize"] = foundTotals(container).removableSize;
    head["otherNamesCount"] = container.getOtherNamesCount();
    out << "{\n";
    for (auto it = head.begin(); it != head.end(); ++it)
        out << "  " << jsonText(it.key()) << ": " << jsonText(it.value()) << ",\n";
    out << "  \"removalList\": ";
    writeJsonRemovalList(out, container, "  ");
    out << ",\n";
    if (options.review) {
        out << "  \"review\": ";
        writeJsonReview(out, container, *options.review, "  ");
        out << ",\n";
    }

    out << "  \"categories\": [\n";
    for (const FileCategory type : kAllFileCategories) {
        const auto category = container.getCategoryWithType(type);
        const json summary = {{"number", numberOfFileCategory(type)},
                              {"name", categoryName(type)},
                              {"possibleSize", facts.possibleSizes[type]},
                              {"foundSize", category ? category->getTotalSize() : 0},
                              {"removableSize", category ? category->getSizeThatCanBeRemoved() : 0},
                              {"groupCount", category ? category->getGroupsCount() : 0},
                              {"copyCount", category ? category->getTotalCount() : 0}};
        std::string text = jsonText(summary);
        text.pop_back();  // the closing brace: the groups follow
        out << "    " << text << ",\n";
        writeArrayMember(out, "      ", "groups", [&](auto&& emit) {
            if (category)
                for (const auto& group : sortedGroups(*category)) emit(groupObject(container, *group));
        });
        out << "}" << (type != kAllFileCategories.back() ? ",\n" : "\n");
    }
    out << "  ],\n";

    writeArrayMember(out, "  ", "insideDuplicateFolders", [&](auto&& emit) {
        const auto& category = container.getHiddenCategoryOfDuplicates();
        if (!category) return;
        for (const auto& group : sortedGroups(*category)) {
            json object = groupObject(container, *group);
            const auto items = group->getItems();
            object["category"] =
                numberOfFileCategory(items.empty() ? std::nullopt : items.front()->getTypeUsingFileSystemItem());
            emit(object);
        }
    });
    out << ",\n";

    // The pairs come one at a time from the similar-folder registry; only the
    // folders' path objects are kept, one per folder.
    const HeapsCollection* heaps = heapsOf(container);
    out << "  \"similarFolders\": [";
    bool firstPair = true;
    if (heaps) {
        std::unordered_map<const HeapsFolderData*, std::string> pathTexts;
        const auto pathText = [&](const HeapsFolderData& record) -> const std::string& {
            auto [it, added] = pathTexts.try_emplace(&record);
            if (added) it->second = jsonText(pathObject(folderPathOf(record.getFolderSystemItem())));
            return it->second;
        };
        std::string line;
        heaps->forEachPairLargestFirst([&](const HeapsFolderData& main, const HeapsFolderData& second,
                                           std::uint64_t halfSize, std::uint32_t sharedGroups) {
            line.assign(firstPair ? "\n    " : ",\n    ");
            line.append("{\"folders\":[").append(pathText(main)).append(",").append(pathText(second));
            line.append("],\"size\":").append(std::to_string(halfSize * 2));
            line.append(",\"sharedGroups\":").append(std::to_string(sharedGroups)).append("}");
            out << line;
            firstPair = false;
            return true;
        });
    }
    out << (firstPair ? "],\n" : "\n  ],\n");
    out << "  \"similarFolderPairsLeftOut\": " << (heaps ? heaps->getCountOfLeftOutPairs() : 0) << ",\n";

    if (options.folderTree) {
        writeArrayMember(out, "  ", "folderTree", [&](auto&& emit) { forEachFolderTreeObject(container, emit); });
        out << ",\n";
    }

    writeArrayMember(out, "  ", "problems", [&](auto&& emit) {
        for (const auto& problem : problemsOf(container)) {
            json object = pathObject(problem.path);
            object["kind"] = scanProblemKindKey(problem.kind);
            if (problem.error != 0) object["error"] = std::strerror(problem.error);
            emit(object);
        }
    });
    out << ",\n";

    const json stats = {{"readingSeconds", facts.stageSeconds[0]},
                        {"duplicateFilesSeconds", facts.stageSeconds[1]},
                        {"duplicateFoldersSeconds", facts.stageSeconds[2]},
                        {"similarFoldersSeconds", facts.stageSeconds[3]},
                        {"totalSeconds", facts.totalSeconds},
                        {"cpuSeconds", facts.cpuSeconds},
                        {"peakMemoryBytes", facts.peakMemoryBytes}};
    out << "  \"stats\": " << jsonText(stats) << "\n}\n";
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void writeCsv(std::ostream& out, const DuplicatesContainer& container) {
    out << "category,group,size,path,modified,selected\r\n";
    for (const FileCategory type : kAllFileCategories) {
        const auto category = container.getCategoryWithType(type);
        if (!category) continue;
        for (const auto& group : sortedGroups(*category)) {
            for (const auto& item : group->getItems()) {
                out << categoryName(type) << ',' << group->getGroupID() << ',' << item->getFileItemSize() << ','
                    << csvField(item->getFileItemPath()) << ',' << itemDate(*item) << ','
                    << (item->isSelected() ? "true" : "false") << "\r\n";
            }
        }
    }
}

static_assert(sizeof(std::time_t) == sizeof(std::int64_t), "file times need a 64-bit time_t");

// A moment as calendar fields: local time, or UTC (offset 0) where the C
// library cannot give local time because the year does not fit a struct tm
// (beyond about two billion years either way).
struct CivilTime {
    std::int64_t year = 1970;
    unsigned month = 1, day = 1, hour = 0, minute = 0, second = 0;
    long offsetSeconds = 0;  // east of UTC
};

// The proleptic Gregorian date of a count of days since 1970-01-01, for any
// 64-bit count (H. Hinnant's civil_from_days).
void civilFromDays(std::int64_t days, CivilTime& civil) {
    const std::int64_t z = days + 719468;
    // Eras of 400 years (146097 days), counted from 0000-03-01.
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;  // [0, 146096]
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;  // [0, 399]
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);  // [0, 365]
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;                                   // [0, 11]
    civil.day = static_cast<unsigned>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    civil.month = static_cast<unsigned>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    civil.year = yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0);
}

CivilTime civilTime(std::int64_t secondsSinceEpoch) {
    CivilTime civil;
    const std::time_t seconds = secondsSinceEpoch;
    std::tm local{};
    if (::localtime_r(&seconds, &local)) {
        civil.year = static_cast<std::int64_t>(local.tm_year) + 1900;
        civil.month = static_cast<unsigned>(local.tm_mon + 1);
        civil.day = static_cast<unsigned>(local.tm_mday);
        civil.hour = static_cast<unsigned>(local.tm_hour);
        civil.minute = static_cast<unsigned>(local.tm_min);
        civil.second = static_cast<unsigned>(local.tm_sec);
        civil.offsetSeconds = local.tm_gmtoff;
        return civil;
    }
    constexpr std::int64_t kDay = 86400;
    std::int64_t days = secondsSinceEpoch / kDay;
    std::int64_t rest = secondsSinceEpoch % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    civilFromDays(days, civil);
    civil.hour = static_cast<unsigned>(rest / 3600);
    civil.minute = static_cast<unsigned>(rest / 60 % 60);
    civil.second = static_cast<unsigned>(rest % 60);
    return civil;
}

// Years 0 to 9999 in four digits; others with a sign and at least six
// digits, ISO 8601's expanded form as ECMAScript writes it (+010000, -000001).
std::string yearText(std::int64_t year) {
    char text[32];
    if (year >= 0 && year <= 9999)
        std::snprintf(text, sizeof text, "%04lld", static_cast<long long>(year));
    else
        std::snprintf(text, sizeof text, "%c%06llu", year < 0 ? '-' : '+',
                      static_cast<unsigned long long>(year < 0 ? -year : year));
    return text;
}

enum class DateStyle { iso, minutes };

// Local time of a moment in seconds since the epoch: ISO 8601 with the offset
// (2026-12-06T10:15:02+01:00), or "2026-12-06 10:15" for the human report.
std::string formatLocalTime(std::int64_t seconds, DateStyle style) {
    const CivilTime civil = civilTime(seconds);
    char text[128];
    if (style == DateStyle::minutes) {
        std::snprintf(text, sizeof text, "-%02u-%02u %02u:%02u", civil.month, civil.day, civil.hour, civil.minute);
        return yearText(civil.year) + text;
    }
    // Minutes of the offset as %z gives them (a local mean time of the 1800s
    // may have seconds too, which ISO 8601 cannot write).
    const long offsetMinutes = (civil.offsetSeconds < 0 ? -civil.offsetSeconds : civil.offsetSeconds) / 60;
    std::snprintf(text, sizeof text, "-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", civil.month, civil.day, civil.hour,
                  civil.minute, civil.second, civil.offsetSeconds < 0 ? '-' : '+', offsetMinutes / 60,
                  offsetMinutes % 60);
    return yearText(civil.year) + text;
}

std::int64_t secondsOf(std::chrono::system_clock::time_point date) {
    return std::chrono::floor<std::chrono::seconds>(date.time_since_epoch()).count();
}

std::string shortDate(std::int64_t seconds) {
    return formatLocalTime(seconds, DateStyle::minutes);
}

void writeGroup(std::ostream& out, const DuplicatesContainer& container, const DuplicatesGroup& group,
                bool marks) {
    const auto items = group.getItems();
    out << "  " << items.size() << " copies of " << formatSize(group.oneItemSize()) << " (group " << group.getGroupID()
        << (group.isComparedInPart() ? ", compared in part" : "") << ")\n";
    for (const auto& item : items) {
        out << "    " << (marks ? (item->isSelected() ? "[x] " : "[ ] ") : "") << printablePath(item->getFileItemPath())
            << "  " << formatSize(item->getFileItemSize()) << "  "
            << shortDate(item->getLastModificationDate().seconds) << "\n";
        if (const auto* names = otherNamesOf(container, *item))
            for (const FileSystemItem* name : *names)
                out << "      same file as " << printablePath(name->path()) << "\n";
    }
}

struct ProblemWording {
    const char* one;   // "folder could not be read"
    const char* many;  // "folders could not be read"
};

ProblemWording wordingOf(ScanProblemKind kind) {
    switch (kind) {
        case ScanProblemKind::unreadableFolder: return {"folder could not be read", "folders could not be read"};
        case ScanProblemKind::partlyReadFolder: return {"folder was read only in part", "folders were read only in part"};
        case ScanProblemKind::unreadableFile: return {"file could not be read", "files could not be read"};
        case ScanProblemKind::changedFile:
            // Also what pseudo-files (/proc, /sys) do: they list one size and read another.
            return {"file was not as listed when read (changed during the scan)",
                    "files were not as listed when read (changed during the scan)"};
        case ScanProblemKind::mountNotEntered:
            return {"mounted file system was not entered", "mounted file systems were not entered"};
        case ScanProblemKind::sameFolderReadOnce:
            return {"folder is another chosen folder, read once", "folders are other chosen folders, read once"};
        case ScanProblemKind::hiddenFolderLeftOut:
            return {"hidden folder was left out (--hidden compares it)", "hidden folders were left out (--hidden compares them)"};
        case ScanProblemKind::excludedFolder:
            return {"folder was excluded by the settings", "folders were excluded by the settings"};
    }
    return {"item was left out", "items were left out"};
}

constexpr std::size_t kProblemPathsShown = 3;

// What the scan could not read or did not enter: per kind its count and its
// first few paths (all with --all).
void writeProblems(std::ostream& out, const std::vector<ScanProblem>& problems, bool all) {
    if (problems.empty()) return;
    out << "\nNot compared:\n";
    for (std::size_t first = 0; first < problems.size();) {
        std::size_t end = first;
        while (end < problems.size() && problems[end].kind == problems[first].kind) ++end;
        const std::size_t count = end - first;
        const ProblemWording wording = wordingOf(problems[first].kind);
        out << "  " << count << " " << (count == 1 ? wording.one : wording.many) << ":\n";
        const std::size_t shown = all ? count : std::min(count, kProblemPathsShown);
        for (std::size_t i = first; i < first + shown; ++i) {
            out << "    " << printablePath(problems[i].path);
            if (problems[i].error != 0) out << " (" << std::strerror(problems[i].error) << ")";
            out << "\n";
        }
        if (shown < count) out << "    and " << (count - shown) << " more (--all lists them)\n";
        first = end;
    }
}

void writeHuman(std::ostream& out, const DuplicatesContainer& container, const ScanReportFacts& facts,
                const ReportOptions& options) {
    out << "Kestrane scan of ";
    for (std::size_t i = 0; i < facts.folders.size(); ++i)
        out << (i ? ", " : "") << printablePath(facts.folders[i]);
    out << "\n";
    out << "Minimal size " << formatSize(facts.minimalSize) << (facts.minimalSizeAutomatic ? " (automatic)" : "")
        << ", " << (facts.fullHash ? "full" : "partial") << " content keys, hidden folders "
        << (facts.includeHidden ? "included" : "skipped (hidden files elsewhere compared)") << (facts.folderStages ? "" : ", folders not compared")
        << (facts.backupsSkipped ? ", backups skipped" : "") << "\n";
    if (!facts.fullHash)
        out << "Groups marked \"compared in part\" agree on three blocks of each file, not on every byte;\n"
               "removal compares whole files first, and --full-hash compares every byte now.\n";
    if (facts.stopped) out << "The scan was stopped: these are the duplicates found until then.\n";
    const RemovalListTotals removal = removalListTotals(container);
    const bool marks = options.showSelection || removal.count > 0;
    if (marks) out << "[x] marks a copy selected for removal, [ ] a copy kept.\n";
    out << "\n";

    char line[128];
    std::snprintf(line, sizeof line, "%-10s %8s %8s %12s %12s\n", "category", "groups", "copies", "possible",
                  "found");
    out << line;
    for (const FileCategory type : kAllFileCategories) {
        const auto category = container.getCategoryWithType(type);
        const std::string name(categoryName(type));
        std::snprintf(line, sizeof line, "%-10s %8zu %8lld %12s %12s\n", name.c_str(),
                      category ? category->getGroupsCount() : 0,
                      static_cast<long long>(category ? category->getTotalCount() : 0),
                      formatSize(facts.possibleSizes[type]).c_str(),
                      formatSize(category ? static_cast<std::uint64_t>(category->getTotalSize()) : 0).c_str());
        out << line;
    }

    for (const FileCategory type : kAllFileCategories) {
        const auto category = container.getCategoryWithType(type);
        if (!category || category->getGroupsCount() == 0) continue;
        const Groups groups = sortedGroups(*category);
        const std::size_t shown = options.allGroups ? groups.size() : std::min(groups.size(), kBiggestGroupsPerCategory);
        out << "\n"
            << (type == FileCategory::folders ? "Duplicate folders" : "Duplicate " + std::string(categoryName(type)))
            << (shown < groups.size() ? ", the " + std::to_string(shown) + " biggest of " +
                                            std::to_string(groups.size()) + " groups"
                                      : "")
            << ":\n";
        for (std::size_t i = 0; i < shown; ++i) writeGroup(out, container, *groups[i], marks);
    }

    const HeapsCollection* heaps = heapsOf(container);
    const std::uint64_t pairs = heaps ? heaps->getCountOfPairs() : 0;
    const std::uint64_t leftOut = heaps ? heaps->getCountOfLeftOutPairs() : 0;
    if (pairs > 0 || leftOut > 0) {
        out << "\nSimilar folders, "
            << (pairs > kBiggestSimilarPairs ? "the " + std::to_string(kBiggestSimilarPairs) + " biggest of " +
                                                   std::to_string(pairs) + " pairs"
                                             : std::string("the biggest pairs"))
            << ":\n";
        std::size_t shown = 0;
        heaps->forEachPairLargestFirst([&](const HeapsFolderData& main, const HeapsFolderData& second,
                                           std::uint64_t halfSize, std::uint32_t sharedGroups) {
            out << "  " << printablePath(folderPathOf(main.getFolderSystemItem())) << "\n    and "
                << printablePath(folderPathOf(second.getFolderSystemItem())) << ": " << formatSize(halfSize * 2)
                << " in " << sharedGroups << " shared groups\n";
            return ++shown < kBiggestSimilarPairs;
        });
        if (leftOut > 0)
            out << "  " << leftOut << " more similar-folder " << (leftOut == 1 ? "pair was" : "pairs were")
                << " found and left out: only the " << heaps->getMaximalPairCount()
                << " biggest pairs are kept.\n";
    }

    if (options.folderTree) writeFolderTreeText(out, container);

    writeProblems(out, problemsOf(container), options.allGroups);
    if (const std::size_t names = container.getOtherNamesCount())
        out << "\n" << names << (names == 1 ? " name was" : " names were")
            << " another name of a file counted once (hard links are one file, never copies).\n";

    const std::size_t count = facts.folders.size();
    out << "\n" << count << " " << (count == 1 ? "folder was" : "folders were") << " scanned on "
        << shortDate(secondsOf(facts.finishDate)) << ".\n";
    const FoundTotals totals = foundTotals(container);
    if (totals.groups == 0) {
        out << "No duplicates were found.\n";
        return;
    }
    if (marks)
        out << (removal.count == 1 ? "1 copy (" : std::to_string(removal.count) + " copies (") << formatSize(removal.size)
            << ") selected for removal.\n";
    // A group of empty files is found although it weighs nothing: the count
    // of groups keeps the line true.
    out << formatSize(totals.size) << " of duplicates were found. Removing all but one copy of "
        << (totals.groups == 1 ? std::string("the group") : "each of the " + std::to_string(totals.groups) + " groups")
        << " would free " << formatSize(totals.removableSize) << ".\n";
}

}  // namespace

FoundTotals foundTotals(const DuplicatesContainer& container) {
    FoundTotals totals;
    for (const FileCategory type : kAllFileCategories) {
        const auto category = container.getCategoryWithType(type);
        if (!category) continue;
        auto bytes = [](std::int64_t size) { return static_cast<std::uint64_t>(std::max<std::int64_t>(0, size)); };
        totals.groups += category->getGroupsCount();
        totals.size += bytes(category->getTotalSize());
        totals.removableSize += bytes(category->getSizeThatCanBeRemoved());
    }
    return totals;
}

std::vector<std::shared_ptr<DuplicatesGroup>> reportedGroups(const DuplicatesContainer& container) {
    Groups groups;
    for (const FileCategory type : kAllFileCategories)
        if (const auto category = container.getCategoryWithType(type)) {
            const Groups sorted = sortedGroups(*category);
            groups.insert(groups.end(), sorted.begin(), sorted.end());
        }
    return groups;
}

RemovalListTotals removalListTotals(const DuplicatesContainer& container) {
    RemovalListTotals totals;
    for (const auto& item : container.buildRemoveList()) {
        ++totals.count;
        totals.size += item->getFileItemSize();
    }
    return totals;
}

void writeScanReport(std::ostream& out, const DuplicatesContainer& container, const ScanReportFacts& facts,
                     const ReportOptions& options) {
    switch (options.format) {
        case ReportFormat::json:
            writeJson(out, container, facts, options);
            break;
        case ReportFormat::csv:
            writeCsv(out, container);
            break;
        case ReportFormat::human:
            writeHuman(out, container, facts, options);
            if (options.review) writeHumanReview(out, container, *options.review);
            break;
    }
}

std::string_view categoryName(FileCategory category) {
    switch (category) {
        case FileCategory::image: return "images";
        case FileCategory::video: return "videos";
        case FileCategory::music: return "music";
        case FileCategory::document: return "documents";
        case FileCategory::archive: return "archives";
        case FileCategory::other: return "other";
        case FileCategory::folders: return "folders";
    }
    return {};
}

std::string formatIsoDate(std::chrono::system_clock::time_point date) {
    return formatLocalTime(secondsOf(date), DateStyle::iso);
}

std::string formatIsoDate(platform::FileTime time) {
    return formatLocalTime(time.seconds, DateStyle::iso);
}

std::string formatShortDate(platform::FileTime time) {
    return shortDate(time.seconds);
}

}  // namespace kestrane::cli
