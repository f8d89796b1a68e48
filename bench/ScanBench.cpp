// kestrane_scan_bench: times whole scans of one tree (every stage of a
// FoldersScanner) and, with --check, compares the groups of identical files
// with an independent walk of the tree.
//
//     kestrane_scan_bench TREE [--full-hash] [--auto] [--no-folder-stages] [--repeat N] [--check]
//
// A scan is what a user's scan of TREE runs: hidden files included, minimal
// file size 0 (--auto: found automatically), partial keys (--full-hash: full
// keys), duplicate and similar folders searched (--no-folder-stages: not).
// It runs with the default settings: the preferences are read from a fresh
// temporary folder, never the user's. Each of the N scans (default 1) prints
// its wall time, CPU time, peak resident memory and the time of each stage;
// the result of the first is described category by category.
//
// --check (meant for --full-hash) walks TREE with nftw(), leaving out what the
// scan leaves out, groups its regular files by category and size, hashes every
// file of a shared size with SHA-256 (OpenSSL, not the scan's code), and
// compares the resulting sets of identical files with the groups of the first
// scan (file categories and the hidden category). Every set must be exactly
// one group and every group exactly one set; otherwise the differences are
// printed and the program exits with status 1.
//
// The last line, starting with "RESULT", is for scripts.

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "folders/DuplicatesHeaps.h"
#include "ProcessFigures.h"
#include "platform/MainQueue.h"
#include "scan/FileSystemItem.h"
#include "app/FoldersScanner.h"
#include "scan/VolumeSystemItem.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using kestrane::DuplicatesContainer;
using kestrane::FoldersScanner;
using Clock = std::chrono::steady_clock;

constexpr auto kScanTimeout = std::chrono::minutes(60);
constexpr auto kReleaseTimeout = std::chrono::seconds(10);
constexpr std::size_t kShownDifferences = 20;

struct Options {
    std::string tree;
    bool fullHash = false;
    bool autoSize = false;
    bool folderStages = true;
    bool check = false;
    int repeat = 1;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "kestrane_scan_bench: %s\n", what.c_str());
    std::exit(2);
}

Options parseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--full-hash")
            options.fullHash = true;
        else if (argument == "--auto")
            options.autoSize = true;
        else if (argument == "--no-folder-stages")
            options.folderStages = false;
        else if (argument == "--check")
            options.check = true;
        else if (argument == "--repeat") {
            if (i + 1 >= argc) fail("missing value after --repeat");
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 1 || value > 1000) fail(std::string("bad --repeat: ") + argv[i]);
            options.repeat = static_cast<int>(value);
        } else if (argument == "-h" || argument == "--help") {
            std::printf("usage: kestrane_scan_bench TREE [--full-hash] [--auto] [--no-folder-stages] [--repeat N]"
                        " [--check]\n");
            std::exit(0);
        } else if (!argument.empty() && argument[0] == '-')
            fail("unknown option " + argument);
        else if (options.tree.empty())
            options.tree = argument;
        else
            fail("only one tree may be given");
    }
    if (options.tree.empty()) fail("no tree given (see --help)");
    if (options.check && options.autoSize)
        fail("--check compares files of every size: it does not go with --auto");
    // The scan's paths and the walk's start from the same absolute, resolved path.
    char resolved[PATH_MAX];
    if (::realpath(options.tree.c_str(), resolved) == nullptr) fail(options.tree + ": " + std::strerror(errno));
    options.tree = resolved;
    struct stat status;
    if (::stat(options.tree.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) fail(options.tree + " is not a folder");
    return options;
}

// ---- the default settings ---------------------------------------------------------

int removeEntry(const char* path, const struct stat*, int type, struct FTW*) {
    return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

// Points the preferences (and the rest of the user's data folder) at a fresh
// temporary folder for the life of the program, so that every setting has its
// default value (among them the 8 KiB block of the partial keys and the
// skipped extensions the check assumes).
class DefaultSettings {
public:
    DefaultSettings() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kestrane-scan-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) fail("cannot make a temporary folder: " + std::string(std::strerror(errno)));
        m_folder = pattern;
        ::setenv("XDG_CONFIG_HOME", (m_folder + "/config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_folder + "/data").c_str(), 1);
    }
    ~DefaultSettings() { ::nftw(m_folder.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }
    DefaultSettings(const DefaultSettings&) = delete;
    DefaultSettings& operator=(const DefaultSettings&) = delete;

private:
    std::string m_folder;
};

// ---- process figures --------------------------------------------------------------

using kestrane::bench::MemoryStatus;
using kestrane::bench::readMemoryStatus;
using kestrane::bench::resetPeakRss;

// Hands freed memory back to the system, until the resident memory stops
// falling (a tree whose last reference went on a worker thread may still be
// being freed there). Freed memory stays in the arena of the thread that
// freed it, and a later scan's threads need not get the same arenas: without
// the trim, each run would start with the previous one's memory resident.
void returnFreedMemory() {
    std::uint64_t resident = readMemoryStatus().rssKiB;
    for (int round = 0; round < 100; ++round) {
        ::malloc_trim(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::uint64_t now = readMemoryStatus().rssKiB;
        if (now + 256 >= resident && now <= resident + 256) break;
        resident = now;
    }
}

double cpuSeconds() {
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& value) { return static_cast<double>(value.tv_sec) + value.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// ---- one scan ---------------------------------------------------------------------

class ResultListener final : public kestrane::FoldersScannerListener {
public:
    void onScanCompleteWithResult(std::shared_ptr<DuplicatesContainer> result) override {
        if (calls++ == 0) completedAt = Clock::now();
        container = std::move(result);
    }
    int calls = 0;
    Clock::time_point completedAt;
    std::shared_ptr<DuplicatesContainer> container;
};

enum Stage { kReading, kDuplicateFiles, kDuplicateFolders, kSimilarFolders, kStageCount };
constexpr const char* kStageNames[kStageCount] = {"reading", "duplicate files", "duplicate folders",
                                                  "similar folders"};

struct ScanRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    std::uint64_t peakRssKiB = 0;
    std::uint64_t rssBeforeKiB = 0;
    std::uint64_t rssAfterKiB = 0;  // the result still held
    std::array<double, kStageCount> stageSeconds{};
    std::uint64_t scannedFiles = 0;
    std::shared_ptr<DuplicatesContainer> container;
    // To see whether the scan and its result go when they are let go.
    std::weak_ptr<FoldersScanner> scannerWatch;
    std::weak_ptr<DuplicatesContainer> containerWatch;
    std::vector<std::weak_ptr<kestrane::VolumeSystemItem>> rootWatches;
};

ScanRun runScan(const Options& options) {
    ScanRun run;
    auto listener = std::make_shared<ResultListener>();
    run.rssBeforeKiB = readMemoryStatus().rssKiB;
    resetPeakRss();
    const double cpuStart = cpuSeconds();
    const Clock::time_point start = Clock::now();

    auto scanner = FoldersScanner::create({options.tree}, listener);
    scanner->includeHiddenFiles(true);
    scanner->enableSearchDuplicatesFoldersAndSimilars(options.folderStages);
    if (options.autoSize)
        scanner->startScanWithAutomaticMinimalSize(options.fullHash);
    else
        scanner->startScanWithMinimalSize(0, options.fullHash);

    // Every change of state happens in a task of the main queue, and the
    // predicate is asked after every task (and every 5 ms when idle): the
    // first time a state is seen is when it began.
    std::array<std::optional<Clock::time_point>, 8> firstSeen;
    const bool completed = kestrane::platform::MainQueue::shared().runUntil(
        [&] {
            const std::int32_t state = scanner->getCurrentState();
            if (state >= 0 && state < static_cast<std::int32_t>(firstSeen.size()) && !firstSeen[state])
                firstSeen[state] = Clock::now();
            return listener->calls > 0;
        },
        kScanTimeout);
    if (!completed) fail("the scan did not complete within " + std::to_string(kScanTimeout.count()) + " minutes");

    run.wallSeconds = secondsBetween(start, listener->completedAt);
    run.cpuSeconds = cpuSeconds() - cpuStart;
    const MemoryStatus memory = readMemoryStatus();
    run.peakRssKiB = memory.hwmKiB;
    run.rssAfterKiB = memory.rssKiB;
    run.scannedFiles = scanner->getCountOfScannedFiles();

    // Stage k runs from the first state of stage k or later seen to the first
    // state of stage k + 1 or later (the end: the completion); a stage whose
    // states were never seen took no time.
    using FoldersState = FoldersScanner::State;
    const std::array<std::int32_t, kStageCount + 1> firstStateOfStage = {
        FoldersState::kReadingFolders, FoldersState::kSearchingDuplicateFiles,
        FoldersState::kSearchingDuplicateFolders, FoldersState::kSearchingSimilarFolders, FoldersState::kCompleted};
    auto boundary = [&](int stage) {
        if (stage == kReading) return start;
        for (std::int32_t state = firstStateOfStage[stage]; state <= FoldersState::kSeparatingSimilarFolderItems;
             ++state)
            if (firstSeen[state]) return *firstSeen[state];
        return listener->completedAt;
    };
    for (int stage = 0; stage < kStageCount; ++stage)
        run.stageSeconds[stage] = std::max(0.0, secondsBetween(boundary(stage), boundary(stage + 1)));

    run.container = listener->container;
    run.scannerWatch = scanner;
    run.containerWatch = run.container;
    if (run.container)
        for (const auto& root : run.container->buildRootFolders()) run.rootWatches.push_back(root);
    return run;
}

// ---- what a result holds ----------------------------------------------------------

struct CategoryFigures {
    std::string name;
    std::size_t groups = 0;
    std::int64_t items = 0;
    std::int64_t bytes = 0;
    std::int64_t removableBytes = 0;
};

std::vector<CategoryFigures> describeResult(const DuplicatesContainer& container) {
    std::vector<CategoryFigures> figures;
    auto add = [&](const std::string& name, const std::shared_ptr<kestrane::DuplicatesCategory>& category) {
        CategoryFigures entry{name};
        if (category) {
            entry.groups = category->getGroupsCount();
            entry.items = category->getTotalCount();
            entry.bytes = category->getTotalSize();
            entry.removableBytes = category->getSizeThatCanBeRemoved();
        }
        figures.push_back(entry);
    };
    for (const kestrane::FileCategory type : kestrane::kAllFileCategories)
        add(std::string(kestrane::typeKeyOfFileCategory(type)), container.getCategoryWithType(type));
    add("hidden (inside duplicate folders)", container.getHiddenCategoryOfDuplicates());
    return figures;
}

void printResult(const DuplicatesContainer& container) {
    std::printf("%-34s %8s %9s %15s %15s\n", "category", "groups", "items", "bytes", "removable bytes");
    for (const CategoryFigures& entry : describeResult(container))
        std::printf("%-34s %8zu %9lld %15lld %15lld\n", entry.name.c_str(), entry.groups,
                    static_cast<long long>(entry.items), static_cast<long long>(entry.bytes),
                    static_cast<long long>(entry.removableBytes));
    if (auto heaps = std::dynamic_pointer_cast<kestrane::DuplicatesHeaps>(container.getHeaps()))
        std::printf("similar folders: %zu folders with similar folders, %llu bytes in them\n",
                    heaps->getAllFoldersData().size(), static_cast<unsigned long long>(heaps->getTotalHeapsSize()));
}

// Groups in the shown categories (0 to 6) and what removing all copies but
// one of each would free.
std::pair<std::size_t, std::int64_t> shownGroupsAndBytes(const DuplicatesContainer& container) {
    std::size_t groups = 0;
    std::int64_t bytes = 0;
    for (const CategoryFigures& entry : describeResult(container)) {
        if (entry.name.rfind("hidden", 0) == 0) continue;
        groups += entry.groups;
        bytes += entry.removableBytes;
    }
    return {groups, bytes};
}

// ---- the independent walk ---------------------------------------------------------

struct WalkedFile {
    std::string path;
    std::uint64_t size = 0;
    std::int32_t category = 0;
    std::size_t nameOffset = 0;
    std::string digest;  // SHA-256, raw bytes; empty when not hashed or unreadable
    bool unreadable = false;
};

struct Walk {
    std::vector<WalkedFile> files;
    std::uint64_t folders = 0;
    std::uint64_t skippedLinks = 0;
    std::uint64_t skippedByName = 0;
    std::uint64_t skippedOther = 0;  // not regular files, unreadable folders, packages, other file systems
    dev_t device = 0;
};

Walk* g_walk = nullptr;

// What the scan leaves out, written down here on their own rather than taken
// from the scanner: Finder and Explorer droppings by name, the default
// skipped extensions (any case), and whatever is inside an ".app" folder.
bool isSkippedName(std::string_view name) {
    return name == ".DS_Store" || name == "Thumbs.db" || name == ".localized";
}

bool hasSkippedExtension(std::string_view name) {
    static constexpr std::string_view kSkipped[] = {"framework", "build", "plist",        "def",  "info",
                                                    "lib",       "dylib", "lproj", "entitlements"};
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return std::find(std::begin(kSkipped), std::end(kSkipped), extension) != std::end(kSkipped);
}

int walkEntry(const char* path, const struct stat* status, int type, struct FTW* ftw) {
    Walk& walk = *g_walk;
    const std::string_view name(path + ftw->base);
    if (ftw->level == 0) {
        walk.device = status->st_dev;
        return FTW_CONTINUE;
    }
    switch (type) {
        case FTW_D:
            if (status->st_dev != walk.device || name.ends_with(".app")) {
                ++walk.skippedOther;
                return FTW_SKIP_SUBTREE;
            }
            ++walk.folders;
            return FTW_CONTINUE;
        case FTW_DNR:
            ++walk.skippedOther;
            return FTW_CONTINUE;
        case FTW_SL:
        case FTW_SLN:
            ++walk.skippedLinks;
            return FTW_CONTINUE;
        case FTW_F:
            break;
        default:
            ++walk.skippedOther;
            return FTW_CONTINUE;
    }
    if (!S_ISREG(status->st_mode)) {
        ++walk.skippedOther;
        return FTW_CONTINUE;
    }
    if (isSkippedName(name) || hasSkippedExtension(name)) {
        ++walk.skippedByName;
        return FTW_CONTINUE;
    }
    WalkedFile file;
    file.path = path;
    file.size = static_cast<std::uint64_t>(status->st_size);
    file.category = kestrane::numberOfFileCategory(kestrane::typeOfFileAtPath(name));
    file.nameOffset = static_cast<std::size_t>(ftw->base);
    walk.files.push_back(std::move(file));
    return FTW_CONTINUE;
}

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// SHA-256 of every byte of the file; empty when it cannot be read.
std::string sha256OfFile(const std::string& path, std::vector<unsigned char>& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return {};
    std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
    while (ok) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            ok = count == 0;
            break;
        }
        ok = EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(count)) == 1;
    }
    ::close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ok || EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
    return std::string(reinterpret_cast<const char*>(digest), length);
}

using PathSet = std::vector<std::string>;  // sorted

struct OracleResult {
    std::vector<PathSet> sets;
    std::uint64_t walkedFiles = 0;
    std::uint64_t hashedFiles = 0;
    std::uint64_t hashedBytes = 0;
    std::uint64_t unreadable = 0;
    double seconds = 0;
};

OracleResult computeIdenticalSets(const std::string& tree) {
    const Clock::time_point start = Clock::now();
    Walk walk;
    g_walk = &walk;
    // FTW_PHYS: links are not followed; FTW_MOUNT: other file systems are not entered.
    if (::nftw(tree.c_str(), walkEntry, 64, FTW_PHYS | FTW_MOUNT | FTW_ACTIONRETVAL) != 0)
        fail("cannot walk " + tree + ": " + std::strerror(errno));
    g_walk = nullptr;

    OracleResult result;
    result.walkedFiles = walk.files.size();
    // Candidates: one category and one size; empty files match by exact name instead.
    std::map<std::pair<std::int32_t, std::uint64_t>, std::vector<std::size_t>> bySize;
    std::map<std::pair<std::int32_t, std::string>, std::vector<std::size_t>> emptyByName;
    for (std::size_t i = 0; i < walk.files.size(); ++i) {
        const WalkedFile& file = walk.files[i];
        if (file.size == 0)
            emptyByName[{file.category, file.path.substr(file.nameOffset)}].push_back(i);
        else
            bySize[{file.category, file.size}].push_back(i);
    }
    std::vector<std::size_t> toHash;
    for (const auto& [key, members] : bySize)
        if (members.size() >= 2) toHash.insert(toHash.end(), members.begin(), members.end());

    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        std::vector<unsigned char> buffer(1 << 20);
        for (std::size_t i = next++; i < toHash.size(); i = next++) {
            WalkedFile& file = walk.files[toHash[i]];
            file.digest = sha256OfFile(file.path, buffer);
            file.unreadable = file.digest.empty();
        }
    };
    std::vector<std::thread> threads;
    const unsigned threadCount = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    for (unsigned i = 0; i < threadCount; ++i) threads.emplace_back(worker);
    for (auto& thread : threads) thread.join();

    auto addSet = [&](const std::vector<std::size_t>& members) {
        if (members.size() < 2) return;
        PathSet set;
        for (std::size_t i : members) set.push_back(walk.files[i].path);
        std::sort(set.begin(), set.end());
        result.sets.push_back(std::move(set));
    };
    for (const auto& [key, members] : bySize) {
        if (members.size() < 2) continue;
        std::map<std::string, std::vector<std::size_t>> byDigest;
        for (std::size_t i : members) {
            const WalkedFile& file = walk.files[i];
            ++result.hashedFiles;
            result.hashedBytes += file.size;
            if (file.unreadable)
                ++result.unreadable;
            else
                byDigest[file.digest].push_back(i);
        }
        for (const auto& [digest, same] : byDigest) addSet(same);
    }
    for (const auto& [key, members] : emptyByName) addSet(members);
    std::sort(result.sets.begin(), result.sets.end());
    result.seconds = secondsBetween(start, Clock::now());
    std::printf("walk: %llu files in %llu folders (left out: %llu links, %llu by name or extension, %llu other);"
                " %llu files of a shared size hashed (%.1f MB), %llu unreadable; %.1f s\n",
                static_cast<unsigned long long>(result.walkedFiles), static_cast<unsigned long long>(walk.folders),
                static_cast<unsigned long long>(walk.skippedLinks), static_cast<unsigned long long>(walk.skippedByName),
                static_cast<unsigned long long>(walk.skippedOther), static_cast<unsigned long long>(result.hashedFiles),
                static_cast<double>(result.hashedBytes) / 1e6, static_cast<unsigned long long>(result.unreadable),
                result.seconds);
    return result;
}

// ---- the comparison ---------------------------------------------------------------

struct ScanSet {
    PathSet paths;
    std::string where;  // the category's name
};

std::vector<ScanSet> scanFileGroups(const DuplicatesContainer& container, std::uint64_t& folderGroupsLeftOut) {
    std::vector<ScanSet> sets;
    auto collect = [&](const std::shared_ptr<kestrane::DuplicatesCategory>& category, const std::string& where) {
        if (!category) return;
        for (const auto& group : category->getGroups()) {
            ScanSet set;
            set.where = where;
            bool folders = false;
            for (const auto& item : group->getItems()) {
                const kestrane::FileSystemItem* fileItem = item->getFileSystemItem();
                if (fileItem && fileItem->isDir()) folders = true;
                set.paths.push_back(item->getFileItemPath());
            }
            if (folders) {
                ++folderGroupsLeftOut;
                continue;
            }
            std::sort(set.paths.begin(), set.paths.end());
            sets.push_back(std::move(set));
        }
    };
    for (const kestrane::FileCategory type : kestrane::kFileContentCategories)
        collect(container.getCategoryWithType(type), std::string(kestrane::typeKeyOfFileCategory(type)));
    collect(container.getHiddenCategoryOfDuplicates(), "hidden");
    return sets;
}

std::string describeSet(const PathSet& paths) {
    std::string text;
    for (const std::string& path : paths) {
        struct stat status;
        const long long size = ::lstat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
        text += "      " + path + "  (" + std::to_string(size) + " bytes)\n";
    }
    return text;
}

// Prints the differences; returns the number of sets that agree, or nothing
// when they differ.
std::optional<std::size_t> compareWithScan(const OracleResult& oracle, const DuplicatesContainer& container) {
    std::uint64_t folderGroups = 0;
    std::vector<ScanSet> scan = scanFileGroups(container, folderGroups);
    if (folderGroups > 0)
        std::printf("check: %llu groups of folders in the hidden category left out\n",
                    static_cast<unsigned long long>(folderGroups));

    // Where each path is on either side, to explain a difference.
    std::unordered_map<std::string, std::size_t> scanGroupOfPath;
    std::size_t pathsInTwoGroups = 0;
    for (std::size_t i = 0; i < scan.size(); ++i)
        for (const std::string& path : scan[i].paths)
            if (!scanGroupOfPath.emplace(path, i).second) {
                if (pathsInTwoGroups++ < kShownDifferences)
                    std::printf("DIFFERENCE: %s is in two groups of the scan\n", path.c_str());
            }
    std::unordered_map<std::string, std::size_t> oracleSetOfPath;
    for (std::size_t i = 0; i < oracle.sets.size(); ++i)
        for (const std::string& path : oracle.sets[i]) oracleSetOfPath.emplace(path, i);

    std::set<PathSet> scanSets;
    for (const ScanSet& set : scan) scanSets.insert(set.paths);
    const std::set<PathSet> oracleSets(oracle.sets.begin(), oracle.sets.end());

    std::size_t differences = pathsInTwoGroups;
    std::size_t agreeing = 0;
    for (const PathSet& set : oracle.sets) {
        if (scanSets.contains(set)) {
            ++agreeing;
            continue;
        }
        if (differences++ >= kShownDifferences) continue;
        std::printf("DIFFERENCE: %zu identical files are not one group of the scan:\n%s", set.size(),
                    describeSet(set).c_str());
        for (const std::string& path : set) {
            auto found = scanGroupOfPath.find(path);
            if (found == scanGroupOfPath.end())
                std::printf("    %s: in no group of the scan\n", path.c_str());
            else
                std::printf("    %s: in a %s group of %zu items\n", path.c_str(), scan[found->second].where.c_str(),
                            scan[found->second].paths.size());
        }
    }
    for (const ScanSet& set : scan) {
        if (oracleSets.contains(set.paths)) continue;
        if (differences++ >= kShownDifferences) continue;
        std::printf("DIFFERENCE: a %s group of the scan of %zu items is not a set of identical files:\n%s",
                    set.where.c_str(), set.paths.size(), describeSet(set.paths).c_str());
        for (const std::string& path : set.paths) {
            auto found = oracleSetOfPath.find(path);
            if (found == oracleSetOfPath.end())
                std::printf("    %s: identical to no other file\n", path.c_str());
            else
                std::printf("    %s: in a set of %zu identical files\n", path.c_str(),
                            oracle.sets[found->second].size());
        }
    }
    if (differences == 0) return agreeing;
    if (differences > kShownDifferences)
        std::printf("... %zu differences in all, the first %zu shown\n", differences, kShownDifferences);
    std::printf("check: %zu sets of identical files, %zu groups of the scan, %zu agree\n", oracle.sets.size(),
                scan.size(), agreeing);
    return std::nullopt;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseArguments(argc, argv);
    const DefaultSettings settings;

    std::printf("scan of %s: %s keys, minimal size %s, hidden files included, folder stages %s; %d run%s\n",
                options.tree.c_str(), options.fullHash ? "full" : "partial", options.autoSize ? "automatic" : "0",
                options.folderStages ? "on" : "off", options.repeat, options.repeat == 1 ? "" : "s");
    if (options.check && !options.fullHash)
        std::printf("note: --check without --full-hash: files that differ only outside the blocks of a partial key"
                    " are expected to show up as differences\n");

    std::vector<ScanRun> runs;
    std::optional<std::size_t> agreed;
    bool checked = false;
    std::size_t shownGroups = 0;
    std::int64_t foundBytes = 0;
    for (int index = 0; index < options.repeat; ++index) {
        ScanRun run = runScan(options);
        std::printf("run %d: wall %.3f s, CPU %.3f s, peak RSS %llu KiB (resident before %llu KiB, after %llu KiB with"
                    " the result); %llu files;",
                    index + 1, run.wallSeconds, run.cpuSeconds, static_cast<unsigned long long>(run.peakRssKiB),
                    static_cast<unsigned long long>(run.rssBeforeKiB), static_cast<unsigned long long>(run.rssAfterKiB),
                    static_cast<unsigned long long>(run.scannedFiles));
        for (int stage = 0; stage < kStageCount; ++stage)
            std::printf(" %s %.3f s%s", kStageNames[stage], run.stageSeconds[stage], stage + 1 < kStageCount ? "," : "\n");
        std::fflush(stdout);
        if (index == 0) {
            if (!run.container) fail("the scan completed without a result");
            printResult(*run.container);
            std::tie(shownGroups, foundBytes) = shownGroupsAndBytes(*run.container);
            if (options.check) {
                const OracleResult oracle = computeIdenticalSets(options.tree);
                agreed = compareWithScan(oracle, *run.container);
                checked = true;
                if (agreed) std::printf("groups agree: %zu groups\n", *agreed);
            }
        }
        // Let the scan go, and wait until it, its result and the scanned trees
        // are gone: the last reference to a tree may be let go on a worker
        // thread a little after the result reached the main queue.
        run.container.reset();
        auto released = [&run] {
            return run.scannerWatch.expired() && run.containerWatch.expired() &&
                   std::all_of(run.rootWatches.begin(), run.rootWatches.end(),
                               [](const auto& root) { return root.expired(); });
        };
        if (!kestrane::platform::MainQueue::shared().runUntil(released, kReleaseTimeout))
            std::printf("warning: run %d: the scan, its result or its scanned tree is still alive %lld s after it was"
                        " let go; later runs start with its memory\n",
                        index + 1, static_cast<long long>(kReleaseTimeout.count()));
        returnFreedMemory();
        runs.push_back(run);
    }

    auto medianOf = [&](auto field) {
        std::vector<double> values;
        for (const ScanRun& run : runs) values.push_back(field(run));
        return median(values);
    };
    std::uint64_t peak = 0;
    for (const ScanRun& run : runs) peak = std::max(peak, run.peakRssKiB);
    std::printf("RESULT runs=%d full_hash=%d wall_s=%.3f cpu_s=%.3f peak_rss_kib=%llu reading_s=%.3f"
                " duplicate_files_s=%.3f duplicate_folders_s=%.3f similar_folders_s=%.3f files=%llu groups=%zu"
                " found_bytes=%lld check=%s\n",
                options.repeat, options.fullHash ? 1 : 0, medianOf([](const ScanRun& r) { return r.wallSeconds; }),
                medianOf([](const ScanRun& r) { return r.cpuSeconds; }), static_cast<unsigned long long>(peak),
                medianOf([](const ScanRun& r) { return r.stageSeconds[kReading]; }),
                medianOf([](const ScanRun& r) { return r.stageSeconds[kDuplicateFiles]; }),
                medianOf([](const ScanRun& r) { return r.stageSeconds[kDuplicateFolders]; }),
                medianOf([](const ScanRun& r) { return r.stageSeconds[kSimilarFolders]; }),
                static_cast<unsigned long long>(runs.front().scannedFiles), shownGroups,
                static_cast<long long>(foundBytes), !checked ? "none" : agreed ? "agree" : "DIFFER");
    return checked && !agreed ? 1 : 0;
}
