// Content-hashing benchmark: separates many same-size candidate sets, one
// set at a time, as the duplicate files filter does, and hashes one large
// file with the full-key routine. Driven by run_hash_bench.sh, which times
// md5sum and `openssl md5` over the same files in the same run.
//
//     kestrane_hash_bench corpus DIR [--sets N] [--seed S]
//         Writes a deterministic corpus of candidate sets into DIR (kept when
//         DIR/manifest.txt already describes the same corpus) and lists its
//         files, one path a line, in DIR/files.txt.
//     kestrane_hash_bench separate DIR [--full] [--repeat R]
//         Separates every set of the corpus with FileSeparator (partial keys,
//         or full keys with --full) and prints the timings of the fastest run.
//     kestrane_hash_bench hash FILE [--repeat R]
//         Full key of FILE with the fastest of R runs.
//     kestrane_hash_bench lanes MIB [--repeat R]
//         MD5 throughput in memory, no file involved: MIB MiB digested as
//         many 64 KiB messages by each multi-lane kernel the processor runs,
//         and by OpenSSL one message at a time; the fastest of R runs by the
//         thread's CPU time, which holds up on a busy machine.

#include "duplicates/ContentHasher.h"
#include "duplicates/FileSeparator.h"
#include "duplicates/Md5Lanes.h"
#include "settings/Settings.h"
#include "scan/FileSystemItem.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using kestrane::FileSeparator;
using kestrane::FileSeparatorMap;
using kestrane::FileSystemItem;
using kestrane::SeparationOptions;
using kestrane::Settings;

constexpr int kFoldersInCorpus = 256;

struct Rng {
    std::uint64_t state;
    explicit Rng(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
};

struct CorpusFile {
    std::string relativePath;
    std::uint64_t size = 0;
};

struct CandidateSet {
    std::vector<CorpusFile> files;
    bool hasIdenticalPair = false;
};

// The candidate sets of a corpus, derived from the seed alone.
//  - 85% pairs, 10% triples, 5% sets of four to six files;
//  - half the sets hold identical files (the first two, or all of a pair);
//    files that differ, differ everywhere (distinct content seeds);
//  - small files of 1 KiB to 64 KiB, log-uniform; one set in 500 holds
//    large files of 2 to 8 MB;
//  - one file in five a text file (doubtful type: shared partial keys are
//    confirmed with full keys), the others photos.
std::vector<CandidateSet> planCorpus(std::size_t setCount, std::uint64_t seed) {
    Rng rng(seed);
    std::vector<CandidateSet> sets(setCount);
    std::size_t fileNumber = 0;
    for (std::size_t s = 0; s < setCount; ++s) {
        const double shape = rng.unit();
        const std::size_t count = shape < 0.85 ? 2 : shape < 0.95 ? 3 : 4 + rng.next() % 3;
        const bool large = s % 500 == 499;
        const std::uint64_t size = large ? 2000000 + rng.next() % 6000001
                                         : static_cast<std::uint64_t>(1024.0 * std::pow(2.0, 6.0 * rng.unit()));
        const bool text = rng.unit() < 0.2;
        sets[s].hasIdenticalPair = rng.unit() < 0.5;
        for (std::size_t f = 0; f < count; ++f, ++fileNumber) {
            char name[64];
            std::snprintf(name, sizeof name, "d%03d/s%06zu-%zu.%s", static_cast<int>(fileNumber % kFoldersInCorpus),
                          s, f, text ? "txt" : "jpg");
            sets[s].files.push_back({name, size});
        }
    }
    return sets;
}

// Content seed of file f of set s: the first two files of a set with an
// identical pair share one.
std::uint64_t contentSeed(std::uint64_t seed, std::size_t s, std::size_t f, bool identical) {
    const std::size_t which = identical && f < 2 ? 0 : f;
    return seed * 1000003ull + s * 16 + which + 1;
}

bool writeContent(const std::string& path, std::uint64_t size, std::uint64_t seed) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    Rng rng(seed);
    std::vector<std::uint64_t> buffer(8192);
    std::uint64_t left = size;
    bool ok = true;
    while (ok && left > 0) {
        for (auto& word : buffer) word = rng.next();
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size() * 8));
        ok = ::write(fd, buffer.data(), n) == static_cast<ssize_t>(n);
        left -= n;
    }
    return ::close(fd) == 0 && ok;
}

std::string describe(std::size_t setCount, std::uint64_t seed) {
    return "kestrane hash corpus v1 sets=" + std::to_string(setCount) + " seed=" + std::to_string(seed);
}

int makeCorpus(const std::string& dir, std::size_t setCount, std::uint64_t seed) {
    const std::string manifestPath = dir + "/manifest.txt";
    const std::string description = describe(setCount, seed);
    {
        std::ifstream in(manifestPath);
        std::string first;
        if (std::getline(in, first) && first == description) {
            std::printf("corpus: %s already in %s\n", description.c_str(), dir.c_str());
            return 0;
        }
    }
    ::mkdir(dir.c_str(), 0755);
    for (int d = 0; d < kFoldersInCorpus; ++d) {
        char name[16];
        std::snprintf(name, sizeof name, "/d%03d", d);
        ::mkdir((dir + name).c_str(), 0755);
    }
    const auto sets = planCorpus(setCount, seed);
    std::ofstream list(dir + "/files.txt");
    std::uint64_t bytes = 0;
    std::size_t files = 0;
    for (std::size_t s = 0; s < sets.size(); ++s) {
        for (std::size_t f = 0; f < sets[s].files.size(); ++f) {
            const auto& file = sets[s].files[f];
            const std::string path = dir + "/" + file.relativePath;
            if (!writeContent(path, file.size, contentSeed(seed, s, f, sets[s].hasIdenticalPair))) {
                std::fprintf(stderr, "corpus: cannot write %s\n", path.c_str());
                return 1;
            }
            list << path << '\n';
            bytes += file.size;
            ++files;
        }
    }
    // Written last: a corpus cut short is made again next time.
    std::ofstream manifest(manifestPath);
    manifest << description << '\n';
    std::printf("corpus: wrote %zu files in %zu sets, %.1f MB, into %s\n", files, sets.size(), bytes / 1e6,
                dir.c_str());
    return manifest ? 0 : 1;
}

bool readManifest(const std::string& dir, std::size_t& setCount, std::uint64_t& seed) {
    std::ifstream in(dir + "/manifest.txt");
    std::string first;
    if (!std::getline(in, first)) return false;
    return std::sscanf(first.c_str(), "kestrane hash corpus v1 sets=%zu seed=%lu", &setCount, &seed) == 2;
}

// Waits for one separation at a time.
class WaitingListener final : public kestrane::FileSeparatorListener {
public:
    void onFinishSeparateItemsByHash(FileSeparator&, FileSeparatorMap result) override {
        std::lock_guard lock(m_mutex);
        m_result = std::move(result);
        m_done = true;
        m_wake.notify_one();
    }
    FileSeparatorMap wait() {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return m_done; });
        m_done = false;
        return std::move(m_result);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    FileSeparatorMap m_result;
};

int separateCorpus(const std::string& dir, bool fullKeys, int repeat) {
    std::size_t setCount = 0;
    std::uint64_t seed = 0;
    if (!readManifest(dir, setCount, seed)) {
        std::fprintf(stderr, "separate: no corpus in %s (run the corpus command first)\n", dir.c_str());
        return 1;
    }
    const auto plan = planCorpus(setCount, seed);

    // The item tree, as a scan would have built it.
    auto root = kestrane::VolumeSystemItem::create(dir, 0, 0);
    std::vector<kestrane::FolderSystemItem*> folders;
    for (int d = 0; d < kFoldersInCorpus; ++d) {
        char name[16];
        std::snprintf(name, sizeof name, "d%03d", d);
        folders.push_back(kestrane::FolderSystemItem::createInParent(name, *root, false, false));
    }
    std::vector<std::vector<FileSystemItem*>> sets;
    std::size_t files = 0;
    std::size_t expectedGroups = 0;
    std::uint64_t bytes = 0;
    for (const auto& planned : plan) {
        std::vector<FileSystemItem*> items;
        for (const auto& file : planned.files) {
            const int folder = std::atoi(file.relativePath.c_str() + 1);
            const auto size = static_cast<std::int64_t>(file.size);
            items.push_back(FileSystemItem::createInParent(file.relativePath.substr(5), *folders[folder], size, false,
                                                           size));
            bytes += file.size;
        }
        files += items.size();
        expectedGroups += planned.hasIdenticalPair ? 1 : 0;
        sets.push_back(std::move(items));
    }

    const SeparationOptions options = SeparationOptions::fromSettings(Settings::standard(), fullKeys);
    auto listener = std::make_shared<WaitingListener>();
    double best = 1e300;
    std::size_t groups = 0;
    std::size_t missing = 0;
    for (int run = 0; run < repeat; ++run) {
        groups = 0;
        missing = 0;
        const auto start = Clock::now();
        for (const auto& items : sets) {
            auto separator = FileSeparator::create(options);
            separator->separateItemsWithListener(items, listener);
            const FileSeparatorMap result = listener->wait();
            std::size_t keyed = 0;
            for (const auto& [key, set] : result) {
                keyed += set.size();
                if (set.size() >= 2) ++groups;
            }
            missing += items.size() - keyed;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::min(best, seconds);
        std::printf("run %d: %.3f s\n", run + 1, seconds);
    }

    std::printf("separate(%s): sets=%zu files=%zu bytes=%llu seconds=%.3f files_per_s=%.0f mb_per_s=%.1f groups=%zu "
                "expected_groups=%zu unkeyed=%zu\n",
                fullKeys ? "full" : "partial", sets.size(), files, static_cast<unsigned long long>(bytes), best,
                files / best, bytes / 1e6 / best, groups, expectedGroups, missing);
    if (groups != expectedGroups || missing != 0) {
        std::fprintf(stderr, "separate: wrong result (groups %zu, expected %zu, unkeyed %zu)\n", groups,
                     expectedGroups, missing);
        return 1;
    }
    return 0;
}

int hashFile(const std::string& path, int repeat) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        std::fprintf(stderr, "hash: cannot stat %s\n", path.c_str());
        return 1;
    }
    double best = 1e300;
    std::string digest;
    for (int run = 0; run < repeat; ++run) {
        const auto start = Clock::now();
        const auto key = kestrane::ContentHasher::hashForFile(path);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!key) {
            std::fprintf(stderr, "hash: no key for %s\n", path.c_str());
            return 1;
        }
        digest = *key;
        best = std::min(best, seconds);
    }
    std::printf("hash: digest=%s bytes=%lld seconds=%.3f mb_per_s=%.1f\n", digest.c_str(),
                static_cast<long long>(info.st_size), best, info.st_size / 1e6 / best);
    return 0;
}

double threadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int laneThroughput(std::size_t mebibytes, int repeat) {
    constexpr std::size_t kMessage = 64 * 1024;
    const std::size_t messages = std::max<std::size_t>(1, mebibytes * 1024 * 1024 / kMessage);
    std::vector<unsigned char> data(kMessage + kestrane::Md5Lanes::kMaxPadding);
    for (std::size_t i = 0; i < kMessage; ++i) data[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    const std::size_t padded = kMessage + kestrane::Md5Lanes::appendPadding(data.data() + kMessage, kMessage);
    const double bytes = static_cast<double>(messages * kMessage);
    std::array<unsigned char, 16> reference{};
    {
        unsigned int length = 0;
        double best = 1e300;
        for (int run = 0; run < repeat; ++run) {
            const double start = threadCpuSeconds();
            for (std::size_t m = 0; m < messages; ++m)
                EVP_Digest(data.data(), kMessage, reference.data(), &length, EVP_md5(), nullptr);
            best = std::min(best, threadCpuSeconds() - start);
        }
        std::printf("lanes: kernel=openssl lanes=1 cpu_seconds=%.3f mb_per_s=%.1f\n", best, bytes / 1e6 / best);
    }
    for (const auto kernel : kestrane::Md5Lanes::supportedKernels()) {
        kestrane::Md5Lanes lanes(kernel);
        const std::size_t width = lanes.laneCount();
        std::vector<const unsigned char*> blocks(width, data.data());
        double best = 1e300;
        bool agrees = true;
        for (int run = 0; run < repeat; ++run) {
            const double start = threadCpuSeconds();
            for (std::size_t m = 0; m < messages; m += width) {
                for (std::size_t l = 0; l < width; ++l) lanes.start(l);
                lanes.compress(blocks.data(), padded / 64);
            }
            best = std::min(best, threadCpuSeconds() - start);
            agrees = agrees && lanes.digest(width - 1) == reference;
        }
        const double done = static_cast<double>((messages + width - 1) / width * width * kMessage);
        std::printf("lanes: kernel=%s lanes=%zu cpu_seconds=%.3f mb_per_s=%.1f digest=%s\n",
                    std::string(kestrane::Md5Lanes::nameOf(kernel)).c_str(), width, best, done / 1e6 / best,
                    agrees ? "same" : "DIFFERENT");
        if (!agrees) return 1;
    }
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: kestrane_hash_bench corpus DIR [--sets N] [--seed S]\n"
                 "       kestrane_hash_bench separate DIR [--full] [--repeat R]\n"
                 "       kestrane_hash_bench hash FILE [--repeat R]\n"
                 "       kestrane_hash_bench lanes MIB [--repeat R]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    const std::string target = argv[2];
    std::size_t sets = 20000;
    std::uint64_t seed = 1;
    int repeat = 1;
    bool full = false;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--full") {
            full = true;
        } else if (i + 1 < argc && option == "--sets") {
            sets = std::strtoull(argv[++i], nullptr, 10);
        } else if (i + 1 < argc && option == "--seed") {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (i + 1 < argc && option == "--repeat") {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else {
            return usage();
        }
    }
    if (command == "corpus") return makeCorpus(target, sets, seed);
    if (command == "separate") return separateCorpus(target, full, repeat);
    if (command == "hash") return hashFile(target, repeat);
    if (command == "lanes") return laneThroughput(std::strtoull(target.c_str(), nullptr, 10), repeat);
    return usage();
}
