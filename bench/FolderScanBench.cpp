// kestrane_folder_scan_bench: times complete folder scans of one tree.
//
//     kestrane_folder_scan_bench TREE [--repeat N]
//
// Counts the files of TREE with nftw() first, then scans it once untimed (it
// warms the page cache, and its memory is measured: peak and retained resident
// memory while the scanned tree is still held), then N timed scans (default 5).
// Every scan must report exactly the files the walk found, or the program
// stops with an error. The last line, starting with "RESULT", is for scripts.

#include "ProcessFigures.h"
#include "platform/MainQueue.h"
#include "scan/FileSystemItem.h"
#include "scan/FolderScanner.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using kestrane::FileSystemItem;
using kestrane::FolderScanner;
using kestrane::FolderSystemItem;
using kestrane::VolumeSystemItem;

constexpr auto kScanTimeout = std::chrono::minutes(30);

// ---- what the tree holds, counted independently of the scanner -------------

struct TreeCount {
    std::uint64_t files = 0;    // every non-folder, non-link entry the scanner keeps
    std::uint64_t folders = 0;  // below the top
};

TreeCount g_walkCount;

// The scanner leaves out a few system droppings by name; so does the count.
bool isSkippedFileName(std::string_view name) {
    return name == ".DS_Store" || name == "Thumbs.db" || name == ".localized";
}

int countEntry(const char* path, const struct stat* status, int type, struct FTW* ftw) {
    if (ftw->level == 0) return 0;
    if (type == FTW_D || type == FTW_DNR) {
        ++g_walkCount.folders;
    } else if (type == FTW_F && !S_ISLNK(status->st_mode)) {
        if (!isSkippedFileName(std::string_view(path + ftw->base))) ++g_walkCount.files;
    }
    return 0;
}

bool countTree(const std::string& tree, TreeCount& count) {
    g_walkCount = {};
    // FTW_PHYS: links are not followed; FTW_MOUNT: other file systems are not
    // entered (the scanner does not cross mount points either).
    if (::nftw(tree.c_str(), countEntry, 64, FTW_PHYS | FTW_MOUNT) != 0) return false;
    count = g_walkCount;
    return true;
}

// ---- process figures -------------------------------------------------------

using kestrane::bench::MemoryStatus;
using kestrane::bench::readMemoryStatus;
using kestrane::bench::resetPeakRss;

double cpuSeconds() {
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& value) { return static_cast<double>(value.tv_sec) + value.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// ---- one scan ---------------------------------------------------------------

class CountingListener final : public kestrane::FolderScannerListener {
public:
    void onScannerFoundFiles(FolderScanner&, std::vector<FileSystemItem*> files) override {
        filesFound.fetch_add(files.size(), std::memory_order_relaxed);
    }
    void onScannerCompletedScanItem(FolderScanner&, std::shared_ptr<VolumeSystemItem> completedRoot) override {
        root = std::move(completedRoot);
        completed = true;
    }

    std::atomic<std::uint64_t> filesFound{0};
    std::atomic<bool> completed{false};
    std::shared_ptr<VolumeSystemItem> root;  // main thread only
};

struct ScanResult {
    bool finished = false;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    std::uint64_t filesFound = 0;
    std::shared_ptr<VolumeSystemItem> root;
};

ScanResult scanOnce(const std::string& tree) {
    auto listener = std::make_shared<CountingListener>();
    ScanResult result;
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    auto scanner = FolderScanner::create(tree, nullptr, listener);
    result.finished = kestrane::platform::MainQueue::shared().runUntil([&] { return listener->completed.load(); },
                                                                     kScanTimeout);
    const auto wallAfter = std::chrono::steady_clock::now();
    result.cpuSeconds = cpuSeconds() - cpuBefore;
    result.wallSeconds = std::chrono::duration<double>(wallAfter - wallBefore).count();
    result.filesFound = listener->filesFound.load();
    result.root = std::move(listener->root);
    return result;
}

void countItems(const FolderSystemItem& folder, std::uint64_t& files, std::uint64_t& folders) {
    for (const auto& child : folder.childrenArray()) {
        if (child->isDir()) {
            ++folders;
            countItems(static_cast<const FolderSystemItem&>(*child), files, folders);
        } else {
            ++files;
        }
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: kestrane_folder_scan_bench TREE [--repeat N]\n");
    std::exit(2);
}

bool checkScan(const ScanResult& scan, const TreeCount& expected, const char* which) {
    if (!scan.finished) {
        std::fprintf(stderr, "\n*** ERROR: the %s scan did not complete within %lld minutes ***\n\n", which,
                     static_cast<long long>(kScanTimeout.count()));
        return false;
    }
    if (!scan.root) {
        std::fprintf(stderr, "\n*** ERROR: the %s scan completed without a root ***\n\n", which);
        return false;
    }
    if (scan.filesFound != expected.files) {
        std::fprintf(stderr,
                     "\n*** ERROR: the %s scan reported %llu files, the tree holds %llu (difference %lld) ***\n\n",
                     which, static_cast<unsigned long long>(scan.filesFound),
                     static_cast<unsigned long long>(expected.files),
                     static_cast<long long>(scan.filesFound) - static_cast<long long>(expected.files));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string tree;
    int repeat = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--repeat") {
            if (i + 1 >= argc) usage();
            repeat = std::atoi(argv[++i]);
            if (repeat < 1) usage();
        } else if (argument == "-h" || argument == "--help" || (!argument.empty() && argument[0] == '-') ||
                   !tree.empty()) {
            usage();
        } else {
            tree = argument;
        }
    }
    if (tree.empty()) usage();
    struct stat status;
    if (::stat(tree.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        std::fprintf(stderr, "kestrane_folder_scan_bench: %s is not a folder\n", tree.c_str());
        return 2;
    }

    TreeCount expected;
    if (!countTree(tree, expected)) {
        std::fprintf(stderr, "kestrane_folder_scan_bench: cannot walk %s: %s\n", tree.c_str(), std::strerror(errno));
        return 2;
    }
    std::printf("tree %s: %llu files, %llu folders (nftw)\n", tree.c_str(),
                static_cast<unsigned long long>(expected.files), static_cast<unsigned long long>(expected.folders));

    // The untimed first scan: warms the cache and gives the memory figures.
    const bool peakWasReset = resetPeakRss();
    const MemoryStatus before = readMemoryStatus();
    ScanResult first = scanOnce(tree);
    const MemoryStatus after = readMemoryStatus();  // the scanned tree is still held
    if (!checkScan(first, expected, "first")) return 1;
    std::uint64_t itemFiles = 0;
    std::uint64_t itemFolders = 0;
    countItems(*first.root, itemFiles, itemFolders);
    if (itemFiles != expected.files || itemFolders != expected.folders) {
        std::fprintf(stderr, "\n*** ERROR: the scanned tree holds %llu files and %llu folders, expected %llu and %llu ***\n\n",
                     static_cast<unsigned long long>(itemFiles), static_cast<unsigned long long>(itemFolders),
                     static_cast<unsigned long long>(expected.files), static_cast<unsigned long long>(expected.folders));
        return 1;
    }
    const std::uint64_t baseKiB = peakWasReset ? before.rssKiB : std::max(before.rssKiB, before.hwmKiB);
    const std::uint64_t peakGrowth = after.hwmKiB > baseKiB ? (after.hwmKiB - baseKiB) * 1024 : 0;
    const std::uint64_t retainedGrowth = after.rssKiB > before.rssKiB ? (after.rssKiB - before.rssKiB) * 1024 : 0;
    const std::uint64_t items = itemFiles + itemFolders;
    const double bytesPerFileItem = static_cast<double>(peakGrowth) / static_cast<double>(std::max<std::uint64_t>(1, itemFiles));
    const double bytesPerItem = static_cast<double>(peakGrowth) / static_cast<double>(std::max<std::uint64_t>(1, items));
    std::printf("first scan (untimed): %.1f ms wall, %.1f ms CPU\n", first.wallSeconds * 1e3, first.cpuSeconds * 1e3);
    std::printf("memory of the first scan, tree held: RSS before %.1f MiB, peak +%.1f MiB, retained +%.1f MiB%s\n",
                before.rssKiB / 1024.0, peakGrowth / 1048576.0, retainedGrowth / 1048576.0,
                peakWasReset ? "" : " (peak mark could not be reset: peak measured from the earlier peak)");
    std::printf("  %llu items (%llu files, %llu folders): %.1f bytes per file item, %.1f bytes per item\n",
                static_cast<unsigned long long>(items), static_cast<unsigned long long>(itemFiles),
                static_cast<unsigned long long>(itemFolders), bytesPerFileItem, bytesPerItem);
    first.root.reset();

    std::vector<double> walls;
    std::vector<double> cpus;
    for (int run = 1; run <= repeat; ++run) {
        ScanResult scan = scanOnce(tree);
        if (!checkScan(scan, expected, "timed")) return 1;
        walls.push_back(scan.wallSeconds);
        cpus.push_back(scan.cpuSeconds);
        std::printf("run %d: %.1f ms wall, %.1f ms CPU\n", run, scan.wallSeconds * 1e3, scan.cpuSeconds * 1e3);
        scan.root.reset();  // freeing the tree is not part of the scan
    }
    const double wallMs = median(walls) * 1e3;
    const double cpuMs = median(cpus) * 1e3;
    const MemoryStatus end = readMemoryStatus();
    std::printf("median of %d: %.1f ms wall, %.1f ms CPU; process peak RSS %llu KiB\n", repeat, wallMs, cpuMs,
                static_cast<unsigned long long>(end.hwmKiB));
    std::printf("RESULT wall_ms=%.2f cpu_ms=%.2f files=%llu folders=%llu items=%llu peak_rss_kib=%llu "
                "peak_growth_bytes=%llu retained_growth_bytes=%llu bytes_per_file_item=%.1f bytes_per_item=%.1f\n",
                wallMs, cpuMs, static_cast<unsigned long long>(itemFiles),
                static_cast<unsigned long long>(itemFolders), static_cast<unsigned long long>(items),
                static_cast<unsigned long long>(end.hwmKiB), static_cast<unsigned long long>(peakGrowth),
                static_cast<unsigned long long>(retainedGrowth), bytesPerFileItem, bytesPerItem);
    return 0;
}
