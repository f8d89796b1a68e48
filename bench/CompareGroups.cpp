// kestrane_compare_groups: compares the groups of identical files in a
// Kestrane JSON scan report with the duplicate sets jdupes found in the same
// tree.
//
//     kestrane_compare_groups KESTRANE_JSON JDUPES_OUTPUT [--show N]
//
// KESTRANE_JSON is the report of `kestrane scan --full-hash --min-size all
// --hidden --format json`; JDUPES_OUTPUT what `jdupes -r -q` (or `-r -q -0`)
// printed for the same tree, given by the same absolute path. The files must
// still be there: the jdupes side is looked at with lstat().
//
// Kestrane's groups are those of the categories 0 to 5 and of
// "insideDuplicateFolders" (groups wholly inside duplicate folders), less
// groups of folders (category 6) and groups of empty files. jdupes knows no
// categories, and sees files the scan never takes, so its sets are brought to
// the same terms before the comparison:
//
//  - symbolic links are left out (jdupes without -s skips them already, as
//    the scan does);
//  - files the scan never takes are left out: ".DS_Store", "Thumbs.db" and
//    ".localized" by name, the default skipped extensions (any case), and
//    anything inside an ".app" folder (the scan takes such a folder whole);
//  - empty files are left out (jdupes without -z skips them; the scan groups
//    them by category and name instead of content);
//  - each set is split by Kestrane's own category of each file
//    (typeOfFileAtPath), and whatever falls below two files is dropped.
//
// Hidden files count on both sides (jdupes takes them unless -A is given;
// the report must come from a scan with --hidden). Hard links are not
// handled: jdupes never pairs two names of one file, and the generated
// corpora have none.
//
// The two collections of groups must be equal, each group as a set of paths.
// The program prints what it read and left out, the first differences, and
// "groups agree" (exit status 0) or "groups DIFFER" (exit status 1). Bad
// input gives exit status 2.

#include "duplicates/FileCategory.h"
#include "scan/ExcludeChecker.h"
#include "settings/Settings.h"

#include "platform/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <sys/stat.h>

namespace {

using nlohmann::json;

constexpr int kExitAgree = 0;
constexpr int kExitDiffer = 1;
constexpr int kExitBadInput = 2;
constexpr std::int64_t kFolderCategory = kestrane::numberOfFileCategory(kestrane::FileCategory::folders);

[[noreturn]] void badInput(const std::string& what) {
    std::fprintf(stderr, "kestrane_compare_groups: %s\n", what.c_str());
    std::exit(kExitBadInput);
}

struct Group {
    std::vector<std::string> paths;  // sorted
    std::int64_t category = 0;
    std::uint64_t size = 0;
};

bool operator<(const Group& left, const Group& right) { return left.paths < right.paths; }

// One side of the comparison: its groups, sorted, and which group holds each path.
struct Side {
    std::vector<Group> groups;
    std::unordered_map<std::string, std::size_t> groupOfPath;
    std::uint64_t files = 0;
    std::vector<std::string> pathsInTwoGroups;

    void finish() {
        for (Group& group : groups) std::sort(group.paths.begin(), group.paths.end());
        std::sort(groups.begin(), groups.end());
        for (std::size_t index = 0; index < groups.size(); ++index) {
            for (const std::string& path : groups[index].paths) {
                ++files;
                if (!groupOfPath.emplace(path, index).second) pathsInTwoGroups.push_back(path);
            }
        }
    }
};

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) badInput("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The exact path of a path object: pathBase64 when present, path otherwise.
std::string pathOf(const json& item) {
    if (!item.is_object()) badInput("report: an item is not an object");
    if (const auto encoded = item.find("pathBase64"); encoded != item.end()) {
        if (!encoded->is_string()) badInput("report: pathBase64 is not a string");
        std::optional<std::string> bytes = kestrane::platform::base64Decode(encoded->get<std::string>());
        if (!bytes) badInput("report: pathBase64 is not base64: " + encoded->get<std::string>());
        return *bytes;
    }
    const auto path = item.find("path");
    if (path == item.end() || !path->is_string()) badInput("report: an item has no path");
    return path->get<std::string>();
}

const json& member(const json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end()) badInput(std::string("report: no member \"") + name + "\"");
    return *found;
}

std::uint64_t unsignedMember(const json& object, const char* name) {
    const json& value = member(object, name);
    if (!value.is_number_unsigned() && !(value.is_number_integer() && value.get<std::int64_t>() >= 0))
        badInput(std::string("report: \"") + name + "\" is not a count");
    return value.get<std::uint64_t>();
}

struct ReportFigures {
    std::uint64_t categoryGroups = 0;
    std::uint64_t insideDuplicateFoldersGroups = 0;
    std::uint64_t folderGroups = 0;
    std::uint64_t emptyGroups = 0;
    bool fullHash = false;
    bool includeHidden = false;
};

Side readReport(const std::string& reportPath, ReportFigures& figures) {
    const json report = json::parse(readWholeFile(reportPath), nullptr, /*allow_exceptions=*/false);
    if (report.is_discarded() || !report.is_object()) badInput(reportPath + " is not JSON");
    const auto format = report.find("format");
    if (format == report.end() || *format != "kestrane-scan-report")
        badInput(reportPath + " is not a Kestrane scan report");
    figures.fullHash = member(report, "fullHash") == true;
    figures.includeHidden = member(report, "includeHidden") == true;

    Side side;
    auto take = [&](const json& group, std::int64_t category) {
        if (category == kFolderCategory) {
            ++figures.folderGroups;
            return false;
        }
        const std::uint64_t size = unsignedMember(group, "size");
        if (size == 0) {
            ++figures.emptyGroups;
            return false;
        }
        Group taken{{}, category, size};
        const json& items = member(group, "items");
        if (!items.is_array()) badInput("report: a group's items are not an array");
        for (const json& item : items) taken.paths.push_back(pathOf(item));
        side.groups.push_back(std::move(taken));
        return true;
    };

    const json& categories = member(report, "categories");
    if (!categories.is_array()) badInput("report: categories is not an array");
    for (const json& category : categories) {
        const std::uint64_t number = unsignedMember(category, "number");
        if (number > static_cast<std::uint64_t>(kFolderCategory)) badInput("report: a category number is out of range");
        const json& groups = member(category, "groups");
        if (!groups.is_array()) badInput("report: a category's groups are not an array");
        for (const json& group : groups)
            if (take(group, static_cast<std::int64_t>(number))) ++figures.categoryGroups;
    }
    const json& inside = member(report, "insideDuplicateFolders");
    if (!inside.is_array()) badInput("report: insideDuplicateFolders is not an array");
    for (const json& group : inside) {
        const std::uint64_t number = unsignedMember(group, "category");
        if (number > static_cast<std::uint64_t>(kFolderCategory)) badInput("report: a category number is out of range");
        if (take(group, static_cast<std::int64_t>(number))) ++figures.insideDuplicateFoldersGroups;
    }
    side.finish();
    return side;
}

// What the folder scan never takes, answered for a path the scan would reach.
class ScanSkipRules {
public:
    ScanSkipRules() {
        // The list holds ".plist" and the like: the extension of "name.plist".
        for (const std::string& entry : kestrane::Settings::createDefaultExcludeExtensionsArray())
            m_extensions.insert(kestrane::ExcludeChecker::lowercasedExtensionOfName("name" + entry));
    }

    bool isSkipped(std::string_view path) const {
        const std::size_t slash = path.rfind('/');
        const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
        // The names the folder scan drops as it reads a folder.
        if (name == ".DS_Store" || name == "Thumbs.db" || name == ".localized") return true;
        if (m_extensions.contains(kestrane::ExcludeChecker::lowercasedExtensionOfName(name))) return true;
        // Inside an ".app" folder: the scan takes the package whole, never its files.
        std::string_view folders = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
        while (!folders.empty()) {
            const std::size_t start = folders.rfind('/');
            const std::string_view component = start == std::string_view::npos ? folders : folders.substr(start + 1);
            if (component.ends_with(".app")) return true;
            folders = start == std::string_view::npos ? std::string_view() : folders.substr(0, start);
        }
        return false;
    }

private:
    std::unordered_set<std::string> m_extensions;
};

struct JdupesFigures {
    std::uint64_t sets = 0;
    std::uint64_t files = 0;
    std::uint64_t symlinks = 0;
    std::uint64_t notRegular = 0;
    std::uint64_t skippedByScan = 0;
    std::uint64_t empty = 0;
    std::uint64_t setsSplitByCategory = 0;
    std::uint64_t filesAlone = 0;  // the only file of their category in their set
};

// Why a path of the jdupes output is in none of the groups compared.
using LeftOut = std::unordered_map<std::string, const char*>;

Side readJdupes(const std::string& outputPath, JdupesFigures& figures, LeftOut& leftOut) {
    const std::string output = readWholeFile(outputPath);
    // With -0 every name ends with a NUL and every set with one more.
    const char separator = output.find('\0') != std::string::npos ? '\0' : '\n';
    const ScanSkipRules skipRules;
    Side side;
    std::vector<std::string> set;
    auto finishSet = [&]() {
        if (set.empty()) return;
        ++figures.sets;
        std::map<std::int32_t, Group> byCategory;
        for (std::string& path : set) {
            ++figures.files;
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0)
                badInput("jdupes listed \"" + path +
                         "\", which does not exist (a name with a line break? use jdupes -0), or the tree changed");
            const char* reason = nullptr;
            std::uint64_t* counter = nullptr;
            if (S_ISLNK(status.st_mode)) {
                reason = "a symbolic link";
                counter = &figures.symlinks;
            } else if (!S_ISREG(status.st_mode)) {
                reason = "not a regular file";
                counter = &figures.notRegular;
            } else if (skipRules.isSkipped(path)) {
                reason = "never taken by the scan";
                counter = &figures.skippedByScan;
            } else if (status.st_size == 0) {
                reason = "empty";
                counter = &figures.empty;
            }
            if (reason) {
                ++*counter;
                leftOut.emplace(std::move(path), reason);
                continue;
            }
            const std::int32_t category = kestrane::numberOfFileCategory(kestrane::typeOfFileAtPath(path));
            Group& group = byCategory[category];
            group.category = category;
            group.size = static_cast<std::uint64_t>(status.st_size);
            group.paths.push_back(std::move(path));
        }
        if (byCategory.size() > 1) ++figures.setsSplitByCategory;
        for (auto& [category, group] : byCategory) {
            if (group.paths.size() < 2) {
                ++figures.filesAlone;
                leftOut.emplace(group.paths.front(), "alone in its category within its jdupes set");
                continue;
            }
            side.groups.push_back(std::move(group));
        }
        set.clear();
    };
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find(separator, start);
        if (end == std::string::npos) end = output.size();
        if (end == start)
            finishSet();
        else
            set.emplace_back(output, start, end - start);
        start = end + 1;
    }
    finishSet();
    side.finish();
    return side;
}

std::string describePath(const std::string& path, const Side& other, const char* otherName, const LeftOut* leftOut) {
    std::string text = "    " + path + "  (" + otherName + ": ";
    if (const auto found = other.groupOfPath.find(path); found != other.groupOfPath.end()) {
        const Group& group = other.groups[found->second];
        text += "in a group of " + std::to_string(group.paths.size()) + ", category " + std::to_string(group.category);
    } else if (leftOut) {
        const auto reason = leftOut->find(path);
        text += reason != leftOut->end() ? std::string("left out, ") + reason->second : "not listed";
    } else {
        text += "in no group";
    }
    return text + ")";
}

void printGroup(const char* title, const Group& group, const Side& other, const char* otherName,
                const LeftOut* leftOut) {
    std::printf("  %s: category %lld, %zu files of %llu bytes\n", title, static_cast<long long>(group.category),
                group.paths.size(), static_cast<unsigned long long>(group.size));
    for (const std::string& path : group.paths)
        std::printf("%s\n", describePath(path, other, otherName, leftOut).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    std::size_t shown = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--show" && i + 1 < argc) {
            shown = static_cast<std::size_t>(std::strtoull(argv[++i], nullptr, 10));
        } else if (argument == "-h" || argument == "--help") {
            std::printf("usage: kestrane_compare_groups KESTRANE_JSON JDUPES_OUTPUT [--show N]\n");
            return kExitAgree;
        } else if (!argument.empty() && argument[0] == '-') {
            badInput("unknown option " + argument);
        } else {
            files.push_back(argument);
        }
    }
    if (files.size() != 2) badInput("usage: kestrane_compare_groups KESTRANE_JSON JDUPES_OUTPUT [--show N]");

    ReportFigures reportFigures;
    const Side kestrane = readReport(files[0], reportFigures);
    JdupesFigures jdupesFigures;
    LeftOut leftOut;
    const Side jdupes = readJdupes(files[1], jdupesFigures, leftOut);

    std::printf("Kestrane: %llu groups in categories 0-5 and %llu inside duplicate folders (%llu files); "
                "left out: %llu groups of folders, %llu of empty files\n",
                static_cast<unsigned long long>(reportFigures.categoryGroups),
                static_cast<unsigned long long>(reportFigures.insideDuplicateFoldersGroups),
                static_cast<unsigned long long>(kestrane.files),
                static_cast<unsigned long long>(reportFigures.folderGroups),
                static_cast<unsigned long long>(reportFigures.emptyGroups));
    if (!reportFigures.fullHash)
        std::printf("note: the report was made with partial keys; jdupes compares whole files, so files that differ "
                    "only where a partial key does not read will differ\n");
    if (!reportFigures.includeHidden)
        std::printf("note: the report was made without hidden files; jdupes takes them, so they will differ\n");
    std::printf("jdupes: %llu sets, %llu files; left out: %llu symbolic links, %llu not regular files, %llu that the "
                "scan never takes, %llu empty; %llu sets split by category, %llu files alone in their category\n",
                static_cast<unsigned long long>(jdupesFigures.sets), static_cast<unsigned long long>(jdupesFigures.files),
                static_cast<unsigned long long>(jdupesFigures.symlinks),
                static_cast<unsigned long long>(jdupesFigures.notRegular),
                static_cast<unsigned long long>(jdupesFigures.skippedByScan),
                static_cast<unsigned long long>(jdupesFigures.empty),
                static_cast<unsigned long long>(jdupesFigures.setsSplitByCategory),
                static_cast<unsigned long long>(jdupesFigures.filesAlone));
    std::printf("compared: Kestrane %zu groups (%llu files), jdupes %zu groups (%llu files)\n", kestrane.groups.size(),
                static_cast<unsigned long long>(kestrane.files), jdupes.groups.size(),
                static_cast<unsigned long long>(jdupes.files));

    std::vector<const Group*> onlyKestrane, onlyJdupes;
    std::size_t common = 0;
    for (std::size_t k = 0, j = 0; k < kestrane.groups.size() || j < jdupes.groups.size();) {
        if (j == jdupes.groups.size() || (k < kestrane.groups.size() && kestrane.groups[k] < jdupes.groups[j]))
            onlyKestrane.push_back(&kestrane.groups[k++]);
        else if (k == kestrane.groups.size() || jdupes.groups[j] < kestrane.groups[k])
            onlyJdupes.push_back(&jdupes.groups[j++]);
        else
            ++common, ++k, ++j;
    }
    const bool agree =
        onlyKestrane.empty() && onlyJdupes.empty() && kestrane.pathsInTwoGroups.empty() && jdupes.pathsInTwoGroups.empty();
    if (agree) {
        std::printf("groups agree: %zu groups, %llu files\n", common, static_cast<unsigned long long>(kestrane.files));
        return kExitAgree;
    }

    std::printf("in both: %zu groups; only Kestrane's: %zu; only jdupes': %zu\n", common, onlyKestrane.size(),
                onlyJdupes.size());
    for (const std::string& path : kestrane.pathsInTwoGroups) std::printf("  in two Kestrane groups: %s\n", path.c_str());
    for (const std::string& path : jdupes.pathsInTwoGroups) std::printf("  in two jdupes sets: %s\n", path.c_str());
    for (std::size_t i = 0; i < onlyKestrane.size() && i < shown; ++i)
        printGroup("only Kestrane's", *onlyKestrane[i], jdupes, "jdupes", &leftOut);
    for (std::size_t i = 0; i < onlyJdupes.size() && i < shown; ++i)
        printGroup("only jdupes'", *onlyJdupes[i], kestrane, "Kestrane", nullptr);
    if (onlyKestrane.size() > shown || onlyJdupes.size() > shown)
        std::printf("  (the first %zu of each shown; --show N for more)\n", shown);
    std::printf("groups DIFFER\n");
    return kExitDiffer;
}
