// What the checks before a removal cost: scans a corpus of pairs of identical
// files, selects one copy of every pair, and times the checks of the whole
// selection (RemovalCheck, exactly as the first pass runs it, without
// removing anything) against simply reading the selected copies once. Run
// through run_removal_check_bench.sh.
//
//     kestrane_removal_check_bench DIR [--pairs N] [--size BYTES] [--repeat R] [--cold]
//
// DIR is made (and its corpus kept for later runs when it matches): N pairs
// of files of BYTES bytes each (defaults 256 and 2 MiB), the two copies of a
// pair in two folders. With --cold the page cache of the corpus is dropped
// before each timed run (posix_fadvise DONTNEED after a sync), so that the
// disk is read; otherwise both timings read from memory.
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "platform/FileComparison.h"
#include "platform/MainQueue.h"
#include "removal/RemovalCheck.h"
#include "removal/RemovalPaths.h"
#include "app/FoldersScanner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kestrane;
using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void writeFile(const std::string& path, std::size_t size, std::uint64_t seed) {
    std::vector<char> bytes(size);
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (std::size_t i = 0; i < size; i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const std::uint64_t word = state * 0x2545F4914F6CDD1Dull;
        std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(8, size - i));
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

void dropCache(const std::vector<std::string>& paths) {
    ::sync();
    for (const auto& path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

// Reads every file once, 1 MiB at a time: the least any removal that looks
// at the bytes it removes must pay.
std::uint64_t readAll(const std::vector<std::string>& paths) {
    std::vector<char> buffer(platform::ByteComparer::kReadLength);
    std::uint64_t total = 0;
    for (const auto& path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::uint64_t>(got);
        ::close(fd);
    }
    return total;
}

struct Listener : FoldersScannerListener {
    void onScanCompleteWithResult(std::shared_ptr<DuplicatesContainer> result) override { container = std::move(result); }
    std::shared_ptr<DuplicatesContainer> container;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [--pairs N] [--size BYTES] [--repeat R] [--cold]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::size_t pairs = 256;
    std::size_t size = 2 << 20;
    int repeat = 3;
    bool cold = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pairs" && i + 1 < argc) pairs = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--size" && i + 1 < argc) size = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--repeat" && i + 1 < argc) repeat = std::atoi(argv[++i]);
        else if (arg == "--cold") cold = true;
    }

    // The corpus: kept/NNNN.bin and removed/NNNN.bin, equal pair by pair.
    const std::string stamp = dir + "/corpus.txt";
    const std::string expected = std::to_string(pairs) + " " + std::to_string(size) + "\n";
    std::string found;
    std::getline(std::ifstream(stamp), found);
    if (found + "\n" != expected) {
        ::mkdir(dir.c_str(), 0755);
        ::mkdir((dir + "/kept").c_str(), 0755);
        ::mkdir((dir + "/removed").c_str(), 0755);
        for (std::size_t i = 0; i < pairs; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/%05zu.bin", i);
            writeFile(dir + "/kept" + name, size, i + 1);
            writeFile(dir + "/removed" + name, size, i + 1);
        }
        std::ofstream(stamp) << expected;
    }

    auto listener = std::make_shared<Listener>();
    auto scanner = FoldersScanner::create({dir}, listener);
    scanner->enableSearchDuplicatesFoldersAndSimilars(false);
    scanner->startScanWithMinimalSize(1, false);
    platform::MainQueue::shared().runUntil([&] { return listener->container != nullptr; }, std::chrono::hours(1));
    if (!listener->container) {
        std::fprintf(stderr, "the scan gave no result\n");
        return 1;
    }
    const auto& container = *listener->container;

    std::vector<std::shared_ptr<DuplicateItem>> selected;
    std::vector<std::string> all;
    for (const auto& category : container.getCategories())
        for (const auto& group : category->getGroups())
            for (const auto& item : group->getItems()) {
                all.push_back(item->getFileItemPath());
                if (item->getFileItemPath().find("/removed/") != std::string::npos) {
                    item->selectItemForced(true);
                    selected.push_back(item);
                }
            }
    RemovalPaths removing;
    for (const auto& item : selected) removing.add(item->getFileItemPath());
    std::vector<RemovalCheck> checks;
    std::vector<std::string> selectedPaths;
    for (const auto& item : selected) {
        checks.push_back(RemovalCheck::prepare(*item, removing));
        selectedPaths.push_back(item->getFileItemPath());
    }
    std::printf("corpus: %zu pairs of %zu bytes; %zu copies selected; %s cache\n", pairs, size, selected.size(),
                cold ? "cold" : "warm");

    double bestRead = 1e30, bestReadCpu = 0, bestCheck = 1e30, bestCheckCpu = 0;
    std::uint64_t bytesRead = 0;
    for (int run = 0; run < repeat; ++run) {
        if (cold) dropCache(all);
        auto cpu = cpuSeconds();
        auto start = Clock::now();
        readAll(selectedPaths);
        const double read = std::chrono::duration<double>(Clock::now() - start).count();
        if (read < bestRead) {
            bestRead = read;
            bestReadCpu = cpuSeconds() - cpu;
        }

        if (cold) dropCache(all);
        platform::ByteComparer comparer;
        std::size_t passed = 0;
        cpu = cpuSeconds();
        start = Clock::now();
        for (const auto& check : checks)
            if (check.verify(comparer).result == RemovalCheck::Result::passed) ++passed;
        const double checked = std::chrono::duration<double>(Clock::now() - start).count();
        if (passed != checks.size()) {
            std::fprintf(stderr, "%zu of %zu checks failed\n", checks.size() - passed, checks.size());
            return 1;
        }
        bytesRead = comparer.bytesRead();
        if (checked < bestCheck) {
            bestCheck = checked;
            bestCheckCpu = cpuSeconds() - cpu;
        }
    }
    const double mib = static_cast<double>(pairs) * static_cast<double>(size) / (1 << 20);
    std::printf("read the selected copies once: %.0f ms wall, %.0f ms CPU (%.0f MiB/s)\n", bestRead * 1e3,
                bestReadCpu * 1e3, mib / bestRead);
    std::printf("check them (%.0f MiB read): %.0f ms wall, %.0f ms CPU (%.0f MiB/s of selected copies)\n",
                static_cast<double>(bytesRead) / (1 << 20), bestCheck * 1e3, bestCheckCpu * 1e3, mib / bestCheck);
    std::printf("RESULT pairs=%zu size=%zu cold=%d read_ms=%.0f check_ms=%.0f ratio=%.2f\n", pairs, size, cold ? 1 : 0,
                bestRead * 1e3, bestCheck * 1e3, bestCheck / bestRead);
    return 0;
}
