// kestrane_scan_floor: the least a default duplicate search of a tree costs
// on this machine, with nothing of a duplicate finder in it.
//
//     kestrane_scan_floor TREE [--threads N]
//
// It does only the system calls that no search by content can skip, on N
// threads (default: one per processor), and keeps nothing but a list of the
// files:
//
//   1. listing: every folder is read and every entry that is not a folder is
//      looked at (fstatat), for its type and size;
//   2. reading: every regular file that shares its size with another one is
//      opened by its full path, looked at (fstat), read as a default scan reads
//      it (the whole of a file under three blocks, else its first, middle and
//      last block), looked at again and closed.
//
// No hashing, no model, no groups, no report. The time it takes is a floor
// under the default scan's: a goal below it cannot be met on this machine,
// whatever the search does beside these calls. run_peer_bench.sh times it
// with the peers.
//
// Prints one line: files, same-size files, bytes read, and the time of each
// part. Exits 1 when a folder or a file could not be read (the floor would
// then be too low).

#include "duplicates/ContentHasher.h"
#include "duplicates/FileSeparator.h"
#include "duplicates/PartialKeyBlocks.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct File {
    std::string path;
    std::uint64_t size = 0;
};

// A folder queue shared by the listing threads: a thread that finds the
// queue empty waits until the others have nothing left either.
class Listing {
public:
    explicit Listing(std::string root) { m_folders.push_back(std::move(root)); }

    void run() {
        std::vector<File> files;
        std::string folder;
        while (next(folder)) {
            list(folder, files);
            finished();
        }
        const std::lock_guard lock(m_mutex);
        m_files.insert(m_files.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
    }

    std::vector<File>& files() { return m_files; }
    std::uint64_t failures() const { return m_failures.load(); }

private:
    bool next(std::string& folder) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_folders.empty() || m_busy == 0; });
        if (m_folders.empty()) return false;
        folder = std::move(m_folders.back());
        m_folders.pop_back();
        ++m_busy;
        return true;
    }

    void finished() {
        const std::lock_guard lock(m_mutex);
        --m_busy;
        m_changed.notify_all();
    }

    void list(const std::string& folder, std::vector<File>& files) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
        if (dir == nullptr) {
            if (fd >= 0) ::close(fd);
            ++m_failures;
            return;
        }
        std::vector<std::string> found;
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            std::string path = folder + '/' + name;
            if (entry->d_type == DT_DIR) {
                found.push_back(std::move(path));
                continue;
            }
            struct stat facts {};
            if (::fstatat(::dirfd(dir), name, &facts, AT_SYMLINK_NOFOLLOW) != 0) {
                ++m_failures;
                continue;
            }
            if (S_ISDIR(facts.st_mode))
                found.push_back(std::move(path));
            else if (S_ISREG(facts.st_mode))
                files.push_back({std::move(path), static_cast<std::uint64_t>(facts.st_size)});
        }
        ::closedir(dir);
        if (found.empty()) return;
        const std::lock_guard lock(m_mutex);
        for (auto& path : found) m_folders.push_back(std::move(path));
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_folders;
    std::size_t m_busy = 0;
    std::vector<File> m_files;
    std::atomic<std::uint64_t> m_failures{0};
};

// Reads one file as a default scan's first pass does; the bytes read, or -1.
long long readLikeAScan(const File& file, std::vector<unsigned char>& buffer, std::uint64_t block,
                        std::uint64_t threshold) {
    const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return -1;
    long long done = 0;
    struct stat facts {};
    bool ok = ::fstat(fd, &facts) == 0;
    if (ok && kestrane::ContentHasher::usesPartialKey(file.size, block, threshold)) {
        for (const kestrane::PartialKeyBlock& part : kestrane::partialKeyBlocks(file.size, block)) {
            const ssize_t n = ::pread(fd, buffer.data(), part.length, static_cast<off_t>(part.offset));
            ok = ok && n == static_cast<ssize_t>(part.length);
            done += std::max<ssize_t>(n, 0);
        }
    } else if (ok) {
        std::uint64_t left = file.size;
        while (ok && left > 0) {
            const ssize_t n = ::read(fd, buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
            ok = n > 0;
            left -= static_cast<std::uint64_t>(std::max<ssize_t>(n, 0));
            done += std::max<ssize_t>(n, 0);
        }
    }
    ok = ::fstat(fd, &facts) == 0 && ok;
    ::close(fd);
    return ok ? done : -1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int usage() {
    std::fprintf(stderr, "usage: kestrane_scan_floor TREE [--threads N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) return usage();
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    if (argc == 4) {
        if (std::strcmp(argv[2], "--threads") != 0) return usage();
        char* end = nullptr;
        const long count = std::strtol(argv[3], &end, 10);
        if (*end != '\0' || count < 1 || count > 256) return usage();
        threads = static_cast<unsigned>(count);
    }
    std::string root = argv[1];
    while (root.size() > 1 && root.back() == '/') root.pop_back();

    const auto start = std::chrono::steady_clock::now();
    Listing listing(root);
    {
        std::vector<std::jthread> workers;
        for (unsigned i = 0; i < threads; ++i) workers.emplace_back([&listing] { listing.run(); });
    }
    const double listingSeconds = secondsSince(start);
    std::vector<File>& files = listing.files();

    // Same-size files, as the search's size filter keeps them (empty files
    // are keyed by name and never opened).
    std::unordered_map<std::uint64_t, std::uint32_t> bySize;
    for (const File& file : files) ++bySize[file.size];
    std::vector<const File*> candidates;
    for (const File& file : files)
        if (file.size > 0 && bySize[file.size] > 1) candidates.push_back(&file);

    const auto readingStart = std::chrono::steady_clock::now();
    const kestrane::SeparationOptions options;
    const std::uint64_t block = options.hashBlockSize;
    const std::uint64_t threshold = options.partialKeyThreshold();
    std::atomic<std::size_t> next{0};
    std::atomic<long long> bytes{0};
    std::atomic<std::uint64_t> unread{0};
    {
        std::vector<std::jthread> workers;
        for (unsigned i = 0; i < threads; ++i)
            workers.emplace_back([&] {
                std::vector<unsigned char> buffer(std::max<std::uint64_t>(block, 64 * 1024));
                long long mine = 0;
                constexpr std::size_t kBatch = 64;
                for (std::size_t first = next.fetch_add(kBatch); first < candidates.size();
                     first = next.fetch_add(kBatch)) {
                    const std::size_t last = std::min(candidates.size(), first + kBatch);
                    for (std::size_t i = first; i < last; ++i) {
                        const long long n = readLikeAScan(*candidates[i], buffer, block, threshold);
                        if (n < 0)
                            ++unread;
                        else
                            mine += n;
                    }
                }
                bytes += mine;
            });
    }
    const double readingSeconds = secondsSince(readingStart);

    std::printf("files %zu same-size %zu bytes-read %lld threads %u listing %.3f s reading %.3f s total %.3f s\n",
                files.size(), candidates.size(), bytes.load(), threads, listingSeconds, readingSeconds,
                secondsSince(start));
    if (listing.failures() != 0 || unread.load() != 0) {
        std::fprintf(stderr, "kestrane_scan_floor: %llu entries could not be listed, %llu files could not be read\n",
                     static_cast<unsigned long long>(listing.failures()),
                     static_cast<unsigned long long>(unread.load()));
        return 1;
    }
    return 0;
}
