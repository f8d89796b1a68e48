// kestrane_make_tree: writes a deterministic folder tree for the scan benchmarks.
//
//     kestrane_make_tree [TREE] [--seed S] [--files N] [--folders M]
//     kestrane_make_tree [TREE] --duplicates [--seed S] [--files N] [--folders M] [--max-size BYTES]
//                        [--doubtful-weight K]
//
// The same seed, file count and folder count always give the same tree: the
// same names, nesting and file sizes. The tree is described by a stamp file
// next to it (TREE.stamp); when the stamp matches, the tree is reused as it is.
// A tree of ours with other parameters (or left half-written) is removed and
// written again; a non-empty folder without a stamp is never touched.
//
// Shape: M folders below TREE, 1 to 6 levels deep. Most folders hold 5..30
// entries; a few hold over 1,000 files; some folders collect many sub-folders.
// Files are 0..16 KiB of real bytes, a few percent of names are hidden, and a
// few symbolic links (to files, to folders, dangling, and one loop) are mixed in.
//
// --duplicates writes a corpus for the duplicate search instead (see
// planDuplicatesCorpus below): realistic names and sizes of photos, videos,
// music, documents, archives and other files, a quarter of them byte-identical
// copies, near-duplicates that partial keys cannot tell apart, whole duplicated
// subtrees, similar folders, empty and hidden files, and symbolic-link loops.

#include "duplicates/ContentHasher.h"

#include <algorithm>
#include <cctype>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KESTRANE_BENCH_TREE_BASE
#define KESTRANE_BENCH_TREE_BASE "build/bench-tree"
#endif

namespace {

constexpr int kStampVersion = 1;
constexpr int kMaxDepth = 6;
constexpr std::size_t kMaxFileSize = 16 * 1024;

// splitmix64: tiny, and the same sequence on every platform and library
// (the standard distributions are not).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    std::uint64_t between(std::uint64_t low, std::uint64_t high) { return low + next() % (high - low + 1); }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double probability) { return unit() < probability; }

private:
    std::uint64_t m_state;
};

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
// The duplicates corpus: the largest file unless --max-size says otherwise,
// and its planned folders per file unless --folders is given (16,050 for
// 150,000 files; the copied subtrees and similar folders add about 1,900).
constexpr std::uint64_t kDefaultDuplicatesMaxSize = 4 * kMiB;
constexpr std::uint64_t kDuplicatesFoldersPerThousandFiles = 107;
// Written into the stamp: a tree made by an older planner is made again.
constexpr int kDuplicatesCorpusVersion = 2;
// Large files are drawn in two ranges when --max-size is above this (see
// drawSize); the stamp then says so, so that a tree made before is made again.
constexpr std::uint64_t kLargeFileCommonMaxSize = 4 * kMiB;
constexpr double kLargeFileCommonShare = 5.0 / 6.0;

struct Parameters {
    std::string tree;
    std::uint64_t seed = 1;
    std::uint64_t files = 150000;
    std::uint64_t folders = 10000;
    bool duplicates = false;
    std::uint64_t maxSize = kDefaultDuplicatesMaxSize;  // duplicates corpus only
    // Duplicates corpus only: how many times more often names of the types a
    // partial match is confirmed for (text, source, camera raw) are drawn.
    std::uint64_t doubtfulWeight = 1;
};

struct Folder {
    std::size_t parent = 0;  // index; the root (index 0) is its own parent
    int depth = 0;
    std::string path;
    std::uint64_t fileCount = 0;
    std::uint64_t subFolderCount = 0;
};

struct Summary {
    std::uint64_t regularFiles = 0;
    std::uint64_t folders = 0;
    std::uint64_t symlinks = 0;
    std::uint64_t hiddenFiles = 0;
    std::uint64_t hiddenFolders = 0;
    std::uint64_t bytes = 0;
    std::uint64_t largestFolder = 0;
    std::array<std::uint64_t, kMaxDepth + 1> foldersAtDepth{};
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "kestrane_make_tree: %s\n", what.c_str());
    std::exit(1);
}

[[noreturn]] void failErrno(const std::string& what, const std::string& path) {
    fail(what + " " + path + ": " + std::strerror(errno));
}

std::uint64_t parseCount(const char* text, const char* option) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0') fail(std::string("bad number for ") + option + ": " + text);
    return value;
}

// A byte count with an optional binary suffix: 4096, 512K, 4M, 1G.
std::uint64_t parseByteCount(const char* text, const char* option) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    std::uint64_t unit = 1;
    if (end != text && (*end == 'K' || *end == 'k')) unit = kKiB, ++end;
    else if (end != text && (*end == 'M' || *end == 'm')) unit = kMiB, ++end;
    else if (end != text && (*end == 'G' || *end == 'g')) unit = 1024 * kMiB, ++end;
    if (errno != 0 || end == text || *end != '\0' || value > UINT64_MAX / unit)
        fail(std::string("bad size for ") + option + ": " + text);
    return value * unit;
}

Parameters parseArguments(int argc, char** argv) {
    Parameters parameters;
    bool foldersGiven = false;
    bool maxSizeGiven = false;
    bool doubtfulWeightGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) fail("missing value after " + argument);
            return argv[++i];
        };
        if (argument == "--seed")
            parameters.seed = parseCount(value(), "--seed");
        else if (argument == "--files")
            parameters.files = parseCount(value(), "--files");
        else if (argument == "--folders") {
            parameters.folders = parseCount(value(), "--folders");
            foldersGiven = true;
        } else if (argument == "--duplicates")
            parameters.duplicates = true;
        else if (argument == "--max-size") {
            parameters.maxSize = parseByteCount(value(), "--max-size");
            maxSizeGiven = true;
        } else if (argument == "--doubtful-weight") {
            parameters.doubtfulWeight = parseCount(value(), "--doubtful-weight");
            doubtfulWeightGiven = true;
        } else if (argument == "-h" || argument == "--help") {
            std::printf("usage: kestrane_make_tree [TREE] [--seed S] [--files N] [--folders M]\n"
                        "       kestrane_make_tree [TREE] --duplicates [--seed S] [--files N] [--folders M]"
                        " [--max-size BYTES[K|M|G]] [--doubtful-weight K]\n"
                        "default TREE: %s/s<S>-f<N>-d<M>, with --duplicates s<S>-f<N>-d<M>-dup"
                        " (and -m<BYTES> when --max-size is given, -w<K> when --doubtful-weight is)\n"
                        "defaults: N 150000; M 10000, with --duplicates 107 per 1000 files (16050; copies add more);"
                        " --max-size 4M; --doubtful-weight 1 (0: no text, source or camera raw files; 5: five times"
                        " as many)\n",
                        KESTRANE_BENCH_TREE_BASE);
            std::exit(0);
        } else if (!argument.empty() && argument[0] == '-')
            fail("unknown option " + argument);
        else if (parameters.tree.empty())
            parameters.tree = argument;
        else
            fail("only one tree path may be given");
    }
    if (maxSizeGiven && !parameters.duplicates) fail("--max-size goes with --duplicates");
    if (doubtfulWeightGiven && !parameters.duplicates) fail("--doubtful-weight goes with --duplicates");
    if (parameters.doubtfulWeight > 100) fail("--doubtful-weight must be at most 100");
    if (parameters.duplicates && !foldersGiven)
        parameters.folders = std::max<std::uint64_t>(1, parameters.files * kDuplicatesFoldersPerThousandFiles / 1000);
    if (parameters.duplicates && parameters.maxSize < 4 * kKiB) fail("--max-size must be at least 4K");
    if (parameters.folders == 0) fail("--folders must be at least 1");
    if (parameters.tree.empty()) {
        parameters.tree = std::string(KESTRANE_BENCH_TREE_BASE) + "/s" + std::to_string(parameters.seed) + "-f" +
                          std::to_string(parameters.files) + "-d" + std::to_string(parameters.folders);
        if (parameters.duplicates) {
            parameters.tree += "-dup";
            if (maxSizeGiven) parameters.tree += "-m" + std::to_string(parameters.maxSize);
            if (doubtfulWeightGiven) parameters.tree += "-w" + std::to_string(parameters.doubtfulWeight);
        }
    }
    while (parameters.tree.size() > 1 && parameters.tree.back() == '/') parameters.tree.pop_back();
    if (parameters.tree == "/") fail("refusing to use / as the tree");
    return parameters;
}

std::string stampHeader(const Parameters& parameters) {
    std::ostringstream out;
    out << "kestrane-tree " << kStampVersion << "\nseed " << parameters.seed << "\nfiles " << parameters.files
        << "\nfolders " << parameters.folders << "\n";
    if (parameters.duplicates)
        out << "duplicates " << kDuplicatesCorpusVersion << "\nmax_size " << parameters.maxSize << "\n";
    if (parameters.duplicates && parameters.maxSize > kLargeFileCommonMaxSize)
        out << "large_sizes split at " << kLargeFileCommonMaxSize << ", share above 1/6\n";
    // Only when it changes the tree, so that trees made before keep their stamps.
    if (parameters.duplicates && parameters.doubtfulWeight != 1)
        out << "doubtful_weight " << parameters.doubtfulWeight << "\n";
    return out.str();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush()) failErrno("cannot write", temporary);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) failErrno("cannot rename", temporary);
}

void makeParents(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) failErrno("cannot create", prefix);
    }
}

int removeEntry(const char* path, const struct stat*, int type, struct FTW*) {
    const int result = (type == FTW_DP) ? ::rmdir(path) : ::unlink(path);
    if (result != 0) std::fprintf(stderr, "kestrane_make_tree: cannot remove %s: %s\n", path, std::strerror(errno));
    return result;
}

void removeTree(const std::string& path) {
    if (::nftw(path.c_str(), removeEntry, 64, FTW_DEPTH | FTW_PHYS | FTW_MOUNT) != 0 && errno != ENOENT)
        fail("could not remove the old tree " + path);
}

bool isEmptyOrMissingFolder(const std::string& path) {
    DIR* directory = ::opendir(path.c_str());
    if (!directory) return errno == ENOENT;
    bool empty = true;
    while (const struct dirent* entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(directory);
    return empty;
}

// ---- the shape -----------------------------------------------------------

std::string folderName(Random& random, std::size_t index, bool hidden) {
    static constexpr std::array<const char*, 10> kStems = {
        "folder", "Photos", "src", "Documents", "build", "Music", "assets", "notes", "Projekt ü", "backup 2019",
    };
    std::string name = hidden ? "." : "";
    name += kStems[random.next() % kStems.size()];
    name += '_';
    name += std::to_string(index);
    return name;
}

std::string fileName(Random& random, std::uint64_t index, bool hidden) {
    static constexpr std::array<const char*, 12> kPatterns = {
        "IMG_%05llu.jpg", "document %llu.pdf", "notes-%llu.txt", "track %02llu.mp3", "main%llu.cpp",
        "report %llu (copy).docx", "data_%llu.csv", "archive-%llu.tar.gz", "résumé %llu.odt", "frame%06llu.png",
        "Makefile.%llu", "%llu",
    };
    char buffer[96];
    const char* pattern = kPatterns[random.next() % kPatterns.size()];
    std::snprintf(buffer, sizeof buffer, pattern, static_cast<unsigned long long>(index));
    return hidden ? std::string(".") + buffer : std::string(buffer);
}

std::size_t fileSize(Random& random) {
    if (random.chance(0.04)) return 0;
    // Skewed towards small files: mean about 5.5 KiB.
    const double u = random.unit();
    return 1 + static_cast<std::size_t>(u * u * (kMaxFileSize - 1));
}

std::vector<Folder> planFolders(Random& random, const Parameters& parameters) {
    std::vector<Folder> folders(parameters.folders + 1);  // [0] is the root itself
    folders[0].path = parameters.tree;
    // A few "hub" folders near the top collect many sub-folders (a photo
    // library by year, a source tree's modules); the rest is a random
    // recursive tree, which keeps most folders small.
    std::vector<std::size_t> hubs;
    const std::size_t wantedHubs = std::max<std::size_t>(2, parameters.folders / 500);
    std::vector<std::size_t> open = {0};  // folders that may still get children (depth < max)
    for (std::size_t index = 1; index < folders.size(); ++index) {
        std::size_t parent = 0;
        if (!hubs.empty() && random.chance(0.10))
            parent = hubs[random.next() % hubs.size()];
        else
            parent = open[random.next() % open.size()];
        Folder& folder = folders[index];
        folder.parent = parent;
        folder.depth = folders[parent].depth + 1;
        ++folders[parent].subFolderCount;
        const bool hidden = random.chance(0.02);
        folder.path = folders[parent].path + "/" + folderName(random, index, hidden);
        if (folder.depth < kMaxDepth) open.push_back(index);
        if (hubs.size() < wantedHubs && folder.depth >= 1 && folder.depth <= 3 && random.chance(0.05))
            hubs.push_back(index);
    }
    return folders;
}

void planFiles(Random& random, const Parameters& parameters, std::vector<Folder>& folders) {
    std::uint64_t remaining = parameters.files;
    // A few crowded folders of 1,000..2,500 files each (about a tenth of all files).
    const std::size_t crowded = std::min<std::size_t>(folders.size() - 1, std::max<std::uint64_t>(1, parameters.files / 25000));
    for (std::size_t i = 0; i < crowded && remaining > 0 && folders.size() > 1; ++i) {
        Folder& folder = folders[1 + random.next() % (folders.size() - 1)];
        const std::uint64_t count = std::min<std::uint64_t>(remaining, random.between(1000, 2500));
        folder.fileCount += count;
        remaining -= count;
    }
    // The rest in proportion to a weight of 5..30 per folder; 3% stay empty.
    std::vector<std::uint64_t> weights(folders.size());
    std::uint64_t totalWeight = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (folders[i].fileCount > 0 || random.chance(0.03)) continue;
        weights[i] = random.between(5, 30);
        totalWeight += weights[i];
    }
    if (totalWeight == 0) {
        folders[0].fileCount += remaining;
        return;
    }
    std::uint64_t given = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::uint64_t share = remaining * weights[i] / totalWeight;
        folders[i].fileCount += share;
        given += share;
    }
    // Hand out what rounding left, one file at a time, to weighted folders.
    for (std::size_t i = 0; given < remaining; i = (i + 1) % folders.size()) {
        if (weights[i] == 0) continue;
        ++folders[i].fileCount;
        ++given;
    }
}

// ---- writing -------------------------------------------------------------

void writeBytes(const std::string& path, const char* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) failErrno("cannot create", path);
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = ::write(fd, data + written, size - written);
        if (count < 0) {
            if (errno == EINTR) continue;
            failErrno("cannot write", path);
        }
        written += static_cast<std::size_t>(count);
    }
    if (::close(fd) != 0) failErrno("cannot close", path);
}

Summary writeTree(Random& random, std::vector<Folder>& folders) {
    Summary summary;
    // Content: slices of one buffer of noise (what the bytes are does not matter).
    std::vector<char> noise(2 * kMaxFileSize);
    for (char& byte : noise) byte = static_cast<char>(random.next());

    std::vector<std::string> someFiles;  // symbolic-link targets
    for (std::size_t index = 0; index < folders.size(); ++index) {
        Folder& folder = folders[index];
        if (::mkdir(folder.path.c_str(), 0755) != 0) failErrno("cannot create", folder.path);
        if (index > 0) {
            ++summary.folders;
            ++summary.foldersAtDepth[folder.depth];
            if (folder.path[folder.path.rfind('/') + 1] == '.') ++summary.hiddenFolders;
        }
        summary.largestFolder = std::max(summary.largestFolder, folder.fileCount + folder.subFolderCount);
        for (std::uint64_t i = 0; i < folder.fileCount; ++i) {
            const bool hidden = random.chance(0.03);
            const std::string path = folder.path + "/" + fileName(random, i, hidden);
            const std::size_t size = fileSize(random);
            writeBytes(path, noise.data() + random.next() % kMaxFileSize, size);
            ++summary.regularFiles;
            summary.bytes += size;
            if (hidden) ++summary.hiddenFiles;
            if (random.chance(0.001)) someFiles.push_back(path);
        }
    }

    // A few symbolic links: to files, to folders, one dangling and one loop.
    auto link = [&](const std::string& target, const std::string& where) {
        if (::symlink(target.c_str(), where.c_str()) != 0) failErrno("cannot link", where);
        ++summary.symlinks;
    };
    for (std::size_t i = 0; i < someFiles.size(); ++i) {
        const Folder& folder = folders[random.next() % folders.size()];
        link(someFiles[i], folder.path + "/link to file " + std::to_string(i));
    }
    const std::size_t folderLinks = std::min<std::size_t>(20, folders.size());
    for (std::size_t i = 0; i < folderLinks; ++i) {
        const Folder& from = folders[random.next() % folders.size()];
        const Folder& to = folders[random.next() % folders.size()];
        link(to.path, from.path + "/link to folder " + std::to_string(i));
    }
    link("does/not/exist", folders[0].path + "/dangling link");
    link(".", folders.back().path + "/loop");
    return summary;
}

std::string describe(const Summary& summary) {
    std::ostringstream out;
    out << "regular_files " << summary.regularFiles << "\nfolders_made " << summary.folders << "\nsymlinks "
        << summary.symlinks << "\nhidden_files " << summary.hiddenFiles << "\nhidden_folders "
        << summary.hiddenFolders << "\nbytes " << summary.bytes << "\nlargest_folder_entries "
        << summary.largestFolder << "\nfolders_at_depth";
    for (int depth = 1; depth <= kMaxDepth; ++depth) out << ' ' << summary.foldersAtDepth[depth];
    out << "\n";
    return out.str();
}

// ---- the duplicates corpus ----------------------------------------------------
//
// A collection as a duplicate search meets it. Planned in full first (names,
// sizes and contents of every file), then written. Contents are streams of
// splitmix64 bytes from a per-content seed, so two files share bytes only
// when they are planted as copies. In planning order:
//
//  - the folder tree of the plain corpus (hubs, crowded folders of over
//    1,000 files, many small ones), a few percent hidden;
//  - originals: photo, video, music, document, archive and other names
//    (jpg, png, heic, nef, mp4, mov, mp3, flac, pdf, docx, txt, zip, tar.gz,
//    iso, bin, ...); sizes mostly 1 KiB to 256 KiB, skewed to the small end,
//    3% under 1 KiB, about 1% empty (half of them with names found in many
//    folders: ".gitkeep", "__init__.py", ...), one in 800 from 1 MiB up to
//    --max-size (log-uniform; above 4 MiB only one large file in six, so
//    that --max-size 64M adds files of tens of megabytes without making them
//    most of the bytes); "camera" folders whose raw images all have one size; a few
//    files the scan leaves out (".DS_Store", "Thumbs.db", "Info.plist");
//  - near-duplicate families: 2 to 4 files of over 64 KiB of one size and
//    type (.txt and .nef, which a partial match sends to a full check, and
//    .jpg, which it does not) differing in one byte: mostly a byte at a
//    quarter of the file, outside the three blocks a partial key reads, so
//    that only full keys tell them apart; some at the middle, inside the
//    middle block. Some families also hold an exact copy of one member;
//  - whole subtrees (3 to 300 files) copied elsewhere as "X copy",
//    "Backup of X", "X 2", ...;
//  - similar folder pairs: a leaf folder and a sibling sharing about 70% of
//    its files, plus a few of its own;
//  - loose copies, until the corpus has the requested number of files:
//    byte-identical copies of random files, one to three each, named as the
//    original or "name copy.jpg", "name (2).jpg", "Copy of name.jpg",
//    "name-1.jpg", a new name, or the extension upper-cased; some in the
//    original's own folder. With the copies above, about a quarter of all
//    files are copies;
//  - symbolic links: to files (some named as a file they sit beside), to
//    folders (loops among them), dangling, ".", "..", a pair pointing at each
//    other and one to the top of the tree.
//
// Planted duplicate folders and similar folders are frozen once made: no
// later copy lands in them, so they stay what they were planted as.

constexpr std::uint64_t kNoMutation = UINT64_MAX;
// Partial keys as the scan computes them with the default setting: three
// blocks of this length, the middle and end ones aligned to 4,096 bytes.
constexpr std::uint64_t kPartialKeyBlockLength = 8192;
constexpr std::uint64_t kPartialKeyBlockAlignment = 4096;
constexpr std::uint64_t kNearDuplicateMinSize = 64 * kKiB + 1;
constexpr std::uint64_t kNearDuplicateMaxSize = 512 * kKiB;
constexpr std::uint64_t kLargeFileMinSize = 1 * kMiB;
constexpr std::size_t kWriteBufferLength = 1 << 20;

struct Content {
    std::uint64_t seed = 0;
    std::uint64_t size = 0;
    std::uint64_t mutationOffset = kNoMutation;  // this byte is XOR-ed with mutationXor
    std::uint8_t mutationXor = 0;
};

struct PlannedFile {
    std::string name;
    Content content;
    bool copySource = true;  // may be copied by the loose-copy phase
};

struct PlannedLink {
    std::string name;
    std::string target;
};

struct CorpusFolder {
    std::size_t parent = 0;
    int depth = 0;
    std::string name;
    std::string relativePath;  // below the tree; "" for the top
    std::vector<std::size_t> children;
    std::vector<PlannedFile> files;
    std::vector<PlannedLink> links;
    std::unordered_set<std::string> names;  // every entry, files, folders and links alike
    std::uint64_t plannedOriginals = 0;
    bool frozen = false;
};

struct CorpusSummary {
    Summary tree;
    std::uint64_t emptyFiles = 0;
    std::uint64_t largeFiles = 0;
    std::uint64_t largestFile = 0;
    std::uint64_t looseCopies = 0;
    std::uint64_t copiedSubtrees = 0;
    std::uint64_t copiedSubtreeFiles = 0;
    std::uint64_t copiedSubtreeFolders = 0;
    std::uint64_t similarPairs = 0;
    std::uint64_t similarSharedFiles = 0;
    std::uint64_t nearDuplicateFamilies = 0;
    std::uint64_t nearDuplicateFiles = 0;
    std::uint64_t nearDuplicatesBeyondBlocks = 0;
    std::uint64_t cameraFolders = 0;
    std::uint64_t leftOutByScan = 0;  // names and extensions a scan skips
};

struct NamePattern {
    const char* format;  // one %llu (or %0Nllu, which wraps at 10,000)
    unsigned weight;
};

// Ordinary files, by how often they turn up.
constexpr NamePattern kOrdinaryNames[] = {
    {"IMG_%04llu.jpg", 14},     {"DSC%05llu.JPG", 3},      {"Photo %llu.jpg", 2},       {"Screenshot %llu.png", 3},
    {"icon-%llu.png", 2},       {"IMG_%04llu.heic", 4},    {"DSC_%04llu.NEF", 1},       {"DSC_%04llu.nef", 1},
    {"scan %llu.gif", 1},       {"VID_%08llu.mp4", 2},     {"clip %llu.mp4", 1},        {"MOV_%04llu.mov", 2},
    {"IMG_%04llu.MOV", 1},      {"Track %02llu.mp3", 5},   {"Song %llu.flac", 2},       {"voice memo %llu.m4a", 1},
    {"Invoice %llu.pdf", 3},    {"scan_%llu.pdf", 3},      {"Report %llu.docx", 3},     {"notes-%llu.txt", 5},
    {"README %llu.txt", 1},     {"Budget %llu.xlsx", 2},   {"chapter%llu.md", 1},       {"data_%llu.csv", 2},
    {"résumé %llu.odt", 1},     {"page%llu.html", 1},      {"archive-%llu.zip", 2},     {"photos-%llu.zip", 1},
    {"backup-%llu.tar.gz", 2},  {"disk-%llu.iso", 1},      {"bundle-%llu.7z", 1},       {"firmware-%llu.bin", 2},
    {"blob%llu.bin", 1},        {"main%llu.cpp", 3},       {"util%llu.h", 2},           {"script%llu.py", 2},
    {"config-%llu.json", 2},    {"server-%llu.log", 1},    {"%llu", 2},                 {"module%llu.o", 1},
    {"Makefile.%llu", 1},
};

// Files of 1 MiB and more.
constexpr NamePattern kLargeNames[] = {
    {"VID_%08llu.mp4", 3},  {"MOV_%04llu.mov", 2},      {"disk-%llu.iso", 2},   {"archive-%llu.zip", 1},
    {"backup-%llu.tar.gz", 2}, {"Album %llu.flac", 1},  {"DSC_%04llu.NEF", 1},  {"manual %llu.pdf", 1},
    {"firmware-%llu.bin", 1},
};

// Empty files that many folders have.
constexpr const char* kCommonEmptyNames[] = {
    ".gitkeep", "__init__.py", "empty.txt", ".nomedia", "LOCK", "placeholder.txt", ".keep", "done.flag",
};

// Finder and Explorer droppings and an excluded extension: identical in every
// folder, and never part of a scan.
struct LeftOutFile {
    const char* name;
    std::uint64_t size;
    double chancePerFolder;
};
constexpr LeftOutFile kLeftOutFiles[] = {
    {".DS_Store", 6148, 0.003},
    {"Thumbs.db", 12288, 0.001},
    {"Info.plist", 900, 0.0006},
};

// Whether the scan confirms a partial match of files with this name pattern
// by reading them whole (by extension; PNGs only when uncompressed, which
// the corpus' PNGs are not).
bool isDoubtful(const NamePattern& pattern) {
    const char* dot = std::strrchr(pattern.format, '.');
    if (dot == nullptr) return false;
    std::string extension(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return kestrane::ContentHasher::fullCheckExtensions().contains(extension);
}

// A weight of 1 for doubtful types draws exactly as the plain weights do.
template <std::size_t N>
const char* pickPattern(Random& random, const NamePattern (&patterns)[N], std::uint64_t doubtfulWeight) {
    const auto weight = [&](const NamePattern& pattern) {
        return isDoubtful(pattern) ? pattern.weight * doubtfulWeight : std::uint64_t{pattern.weight};
    };
    std::uint64_t total = 0;
    for (const auto& pattern : patterns) total += weight(pattern);
    std::uint64_t draw = random.next() % total;
    for (const auto& pattern : patterns) {
        if (draw < weight(pattern)) return pattern.format;
        draw -= weight(pattern);
    }
    return patterns[0].format;
}

std::string formatName(const char* format, std::uint64_t number) {
    // Zero-padded counters wrap, as a camera's do.
    if (std::strstr(format, "%0") != nullptr) number %= 10000;
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned long long>(number));
    return buffer;
}

// "backup-3.tar.gz" -> {"backup-3", ".tar.gz"}; "IMG_1.jpg" -> {"IMG_1", ".jpg"};
// ".gitkeep" and "Makefile" have no extension.
std::pair<std::string, std::string> splitExtension(const std::string& name) {
    static const std::string kTarGz = ".tar.gz";
    if (name.size() > kTarGz.size() && name.compare(name.size() - kTarGz.size(), kTarGz.size(), kTarGz) == 0)
        return {name.substr(0, name.size() - kTarGz.size()), kTarGz};
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {name, ""};
    return {name.substr(0, dot), name.substr(dot)};
}

std::string upperCased(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Whether a byte at this offset is read by the partial key of a file of this size.
bool isReadByPartialKey(std::uint64_t size, std::uint64_t offset) {
    if (size < 3 * kPartialKeyBlockLength) return true;  // small files get full keys
    const std::uint64_t rest = size - kPartialKeyBlockLength;
    const std::uint64_t middle = rest / 2 / kPartialKeyBlockAlignment * kPartialKeyBlockAlignment;
    const std::uint64_t end = rest / kPartialKeyBlockAlignment * kPartialKeyBlockAlignment;
    return offset < kPartialKeyBlockLength || (offset >= middle && offset < middle + kPartialKeyBlockLength) ||
           offset >= end;
}

class DuplicatesCorpusPlanner {
public:
    DuplicatesCorpusPlanner(const Parameters& parameters, Random& random)
        : m_parameters(parameters), m_random(random) {}

    std::vector<CorpusFolder> plan(CorpusSummary& summary);

private:
    static constexpr std::size_t kRoot = 0;

    void planFolderTree();
    void planOriginals();
    void planNearDuplicates();
    void planSubtreeCopies();
    void planSimilarFolders();
    void planLooseCopies();
    void planLinks();

    Content newContent(std::uint64_t size) { return Content{m_random.next(), size}; }
    std::uint64_t drawSize(bool& large);
    PlannedFile newOriginal(CorpusFolder& folder);
    bool addFile(std::size_t folder, PlannedFile file);
    std::size_t addFolder(std::size_t parent, const std::string& name);
    std::size_t cloneSubtree(std::size_t source, std::size_t parent, const std::string& name);
    void freezeSubtree(std::size_t folder);
    bool isInSubtree(std::size_t folder, std::size_t top) const;
    std::size_t randomOpenFolder();
    std::string copyNameFor(const std::string& name, bool sameFolder);
    std::string relativeLink(std::size_t from, const std::string& targetRelativePath) const;

    const Parameters& m_parameters;
    Random& m_random;
    CorpusSummary* m_summary = nullptr;
    std::vector<CorpusFolder> m_folders;
    std::uint64_t m_fileCount = 0;
    std::uint64_t m_nextNumber = 1;
    // How the files are shared out (see plan()).
    std::uint64_t m_nearDuplicateBudget = 0;
    std::uint64_t m_subtreeCopyBudget = 0;
    std::uint64_t m_similarSharedBudget = 0;
};

std::vector<CorpusFolder> DuplicatesCorpusPlanner::plan(CorpusSummary& summary) {
    m_summary = &summary;
    const std::uint64_t files = m_parameters.files;
    // Copies planted deliberately; loose copies fill up to the file count, so
    // that about a quarter of all files are copies.
    const bool bigEnough = files >= 1000;
    m_nearDuplicateBudget = bigEnough ? files / 200 : 0;
    m_subtreeCopyBudget = bigEnough ? files * 6 / 100 : 0;
    m_similarSharedBudget = bigEnough ? files * 15 / 1000 : 0;

    planFolderTree();
    planOriginals();
    planNearDuplicates();
    planSubtreeCopies();
    planSimilarFolders();
    planLooseCopies();
    planLinks();
    return std::move(m_folders);
}

void DuplicatesCorpusPlanner::planFolderTree() {
    // The plain corpus's shape, with its share of crowded folders.
    Parameters shape = m_parameters;
    const std::uint64_t copies = m_parameters.files / 4;
    const std::uint64_t reserved = copies + m_nearDuplicateBudget + m_parameters.files / 400 + 8;
    shape.files = m_parameters.files > reserved ? m_parameters.files - reserved : m_parameters.files / 2;
    std::vector<Folder> plain = planFolders(m_random, shape);
    planFiles(m_random, shape, plain);
    m_folders.resize(plain.size());
    for (std::size_t index = 0; index < plain.size(); ++index) {
        CorpusFolder& folder = m_folders[index];
        folder.parent = plain[index].parent;
        folder.depth = plain[index].depth;
        folder.plannedOriginals = plain[index].fileCount;
        if (index == kRoot) continue;
        const std::string& full = plain[index].path;
        folder.name = full.substr(full.rfind('/') + 1);
        folder.relativePath = full.substr(m_parameters.tree.size() + 1);
        m_folders[folder.parent].children.push_back(index);
        m_folders[folder.parent].names.insert(folder.name);
    }
}

std::uint64_t DuplicatesCorpusPlanner::drawSize(bool& large) {
    large = false;
    if (m_random.chance(0.01)) return 0;
    if (m_parameters.maxSize > kLargeFileMinSize && m_random.chance(1.0 / 800)) {
        large = true;
        // Log-uniform from 1 MiB to the largest size. Beyond 4 MiB the sizes
        // thin out: five large files in six stay within 1..4 MiB and the
        // sixth is log-uniform from 4 MiB up, so a corpus with files of tens
        // of megabytes still has most of its bytes in ordinary files. The one
        // draw is split, not drawn twice: up to 4 MiB the corpus is the same
        // as before the split.
        const auto logUniform = [](std::uint64_t low, std::uint64_t high, double u) {
            const double span = std::log(static_cast<double>(high) / static_cast<double>(low));
            return std::min<std::uint64_t>(high, static_cast<std::uint64_t>(static_cast<double>(low) * std::exp(u * span)));
        };
        const double u = m_random.unit();
        if (m_parameters.maxSize <= kLargeFileCommonMaxSize) return logUniform(kLargeFileMinSize, m_parameters.maxSize, u);
        if (u < kLargeFileCommonShare) return logUniform(kLargeFileMinSize, kLargeFileCommonMaxSize, u / kLargeFileCommonShare);
        return logUniform(kLargeFileCommonMaxSize, m_parameters.maxSize,
                          (u - kLargeFileCommonShare) / (1.0 - kLargeFileCommonShare));
    }
    if (m_random.chance(0.03)) return m_random.between(1, kKiB - 1);
    // 1 KiB to 256 KiB, log-scale skewed to the small end (mean about 19 KiB).
    const double u = m_random.unit();
    const auto size = static_cast<std::uint64_t>(kKiB * std::pow(256.0, u * u * u));
    return std::min(size, m_parameters.maxSize);
}

PlannedFile DuplicatesCorpusPlanner::newOriginal(CorpusFolder& folder) {
    bool large = false;
    const std::uint64_t size = drawSize(large);
    const bool hidden = m_random.chance(0.03);
    for (int attempt = 0;; ++attempt) {
        std::string name;
        if (size == 0 && m_random.chance(0.5))
            name = kCommonEmptyNames[m_random.next() % std::size(kCommonEmptyNames)];
        else
            name = formatName(large ? pickPattern(m_random, kLargeNames, m_parameters.doubtfulWeight)
                                    : pickPattern(m_random, kOrdinaryNames, m_parameters.doubtfulWeight),
                              m_nextNumber++);
        if (hidden && name[0] != '.') name.insert(0, ".");
        if (!folder.names.contains(name) || attempt > 100) return PlannedFile{std::move(name), newContent(size)};
    }
}

bool DuplicatesCorpusPlanner::addFile(std::size_t folder, PlannedFile file) {
    CorpusFolder& target = m_folders[folder];
    if (!target.names.insert(file.name).second) return false;
    if (file.content.size == 0) ++m_summary->emptyFiles;
    if (file.content.size >= kLargeFileMinSize) ++m_summary->largeFiles;
    target.files.push_back(std::move(file));
    ++m_fileCount;
    return true;
}

std::size_t DuplicatesCorpusPlanner::addFolder(std::size_t parent, const std::string& name) {
    CorpusFolder folder;
    folder.parent = parent;
    folder.depth = m_folders[parent].depth + 1;
    folder.name = name;
    folder.relativePath = m_folders[parent].relativePath.empty() ? name : m_folders[parent].relativePath + "/" + name;
    m_folders.push_back(std::move(folder));
    const std::size_t index = m_folders.size() - 1;
    m_folders[parent].children.push_back(index);
    m_folders[parent].names.insert(name);
    return index;
}

void DuplicatesCorpusPlanner::planOriginals() {
    for (std::size_t index = 0; index < m_folders.size(); ++index) {
        const std::uint64_t count = m_folders[index].plannedOriginals;
        // A camera folder: raw images that all have one size.
        if (count >= 5 && count <= 60 && m_random.chance(0.003)) {
            ++m_summary->cameraFolders;
            const std::uint64_t size = std::min(m_parameters.maxSize, m_random.between(100 * kKiB, 200 * kKiB));
            const std::uint64_t first = m_random.between(1, 9000);
            for (std::uint64_t i = 0; i < count; ++i)
                addFile(index, PlannedFile{formatName("DSC_%04llu.NEF", first + i), newContent(size)});
        } else {
            for (std::uint64_t i = 0; i < count; ++i) {
                PlannedFile file = newOriginal(m_folders[index]);
                if (!addFile(index, file)) {
                    // Only a run of 100 clashing names gets here: count the file in anyway.
                    file.name += " " + std::to_string(m_nextNumber++);
                    addFile(index, std::move(file));
                }
            }
        }
        for (const LeftOutFile& leftOut : kLeftOutFiles) {
            if (!m_random.chance(leftOut.chancePerFolder)) continue;
            // The same bytes everywhere: they would be duplicates if the scan took them.
            PlannedFile file{leftOut.name, Content{0x5eed0000 + leftOut.size, leftOut.size}, false};
            addFile(index, std::move(file));  // counted as written: copied subtrees take them along
        }
    }
}

std::size_t DuplicatesCorpusPlanner::randomOpenFolder() {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::size_t index = m_random.next() % m_folders.size();
        if (!m_folders[index].frozen) return index;
    }
    return kRoot;  // the top is never frozen
}

void DuplicatesCorpusPlanner::planNearDuplicates() {
    if (m_parameters.maxSize < kNearDuplicateMinSize) return;
    static constexpr const char* kFamilyNames[] = {"draft %llu.txt", "DSC_%04llu.nef", "IMG_%04llu.jpg"};
    static constexpr const char* kVariantSuffixes[] = {" (edited)", " v2", "-final", " (another)"};
    std::uint64_t planted = 0;
    while (planted < m_nearDuplicateBudget) {
        const double kind = m_random.unit();
        const char* pattern = kFamilyNames[kind < 0.4 ? 0 : kind < 0.65 ? 1 : 2];
        const std::uint64_t size =
            m_random.between(kNearDuplicateMinSize, std::min(kNearDuplicateMaxSize, m_parameters.maxSize));
        const std::uint64_t seed = m_random.next();
        const bool beyondBlocks = m_random.chance(0.8);
        const std::uint64_t members = m_random.between(2, 4);
        const std::string baseName = formatName(pattern, m_nextNumber++);
        const auto [stem, extension] = splitExtension(baseName);
        std::size_t firstFolder = randomOpenFolder();
        PlannedFile copyOfSecond;
        for (std::uint64_t member = 0; member < members; ++member) {
            Content content{seed, size};
            if (member > 0) {
                content.mutationOffset = beyondBlocks ? size / 4 + 13 * member : size / 2 + member;
                content.mutationXor = static_cast<std::uint8_t>(0x40 + member);
                if (beyondBlocks == isReadByPartialKey(size, content.mutationOffset))
                    fail("internal: a near-duplicate's changed byte is not where it was meant to be");
            }
            // Beside the first one under another name, or elsewhere under the same name.
            const bool beside = member > 0 && m_random.chance(0.5);
            const std::size_t folder = member == 0 || beside ? firstFolder : randomOpenFolder();
            std::string name = beside ? stem + kVariantSuffixes[(member - 1) % std::size(kVariantSuffixes)] + extension
                                      : baseName;
            if (m_folders[folder].names.contains(name)) name = stem + " " + std::to_string(m_nextNumber++) + extension;
            PlannedFile file{name, content, false};
            if (member == 1) copyOfSecond = file;
            if (addFile(folder, std::move(file))) ++planted;
        }
        // Some families also hold an exact copy of one member: a real group among near misses.
        if (m_random.chance(0.3)) {
            const std::size_t folder = randomOpenFolder();
            if (m_folders[folder].names.contains(copyOfSecond.name))
                copyOfSecond.name = stem + " copy" + extension;
            if (addFile(folder, std::move(copyOfSecond))) ++planted;
        }
        ++m_summary->nearDuplicateFamilies;
        if (beyondBlocks) m_summary->nearDuplicatesBeyondBlocks += members - 1;
    }
    m_summary->nearDuplicateFiles = planted;
}

bool DuplicatesCorpusPlanner::isInSubtree(std::size_t folder, std::size_t top) const {
    for (;;) {
        if (folder == top) return true;
        if (folder == kRoot) return false;
        folder = m_folders[folder].parent;
    }
}

void DuplicatesCorpusPlanner::freezeSubtree(std::size_t folder) {
    m_folders[folder].frozen = true;
    for (std::size_t child : m_folders[folder].children) freezeSubtree(child);
}

std::size_t DuplicatesCorpusPlanner::cloneSubtree(std::size_t source, std::size_t parent, const std::string& name) {
    const std::size_t copy = addFolder(parent, name);
    for (const PlannedFile& file : m_folders[source].files) {
        addFile(copy, file);
        ++m_summary->copiedSubtreeFiles;
    }
    ++m_summary->copiedSubtreeFolders;
    const std::vector<std::size_t> children = m_folders[source].children;  // the vector grows below
    for (std::size_t child : children) cloneSubtree(child, copy, m_folders[child].name);
    return copy;
}

void DuplicatesCorpusPlanner::planSubtreeCopies() {
    static constexpr const char* kCopyFormats[] = {"%s", "%s copy", "Backup of %s", "%s 2", "%s (old)"};
    std::uint64_t copied = 0;
    for (std::uint64_t attempt = 0; copied < m_subtreeCopyBudget && attempt < 50 * m_folders.size(); ++attempt) {
        // Files, folders and height of every subtree (children come after their parents).
        std::vector<std::uint64_t> files(m_folders.size()), folders(m_folders.size(), 1);
        std::vector<int> height(m_folders.size(), 0);
        for (std::size_t index = m_folders.size(); index-- > 1;) {
            files[index] += m_folders[index].files.size();
            const std::size_t parent = m_folders[index].parent;
            files[parent] += files[index];
            folders[parent] += folders[index];
            height[parent] = std::max(height[parent], height[index] + 1);
        }
        // Find a source and a place for its copy.
        for (;; ++attempt) {
            if (attempt >= 50 * m_folders.size()) return;
            const std::size_t source = 1 + m_random.next() % (m_folders.size() - 1);
            if (m_folders[source].depth < 2 || files[source] < 3 || files[source] > 300 || folders[source] > 30)
                continue;
            const std::size_t target = randomOpenFolder();
            if (isInSubtree(target, source) || m_folders[target].depth + 1 + height[source] > kMaxDepth) continue;
            char name[512];
            const char* format = kCopyFormats[m_random.next() % std::size(kCopyFormats)];
            std::snprintf(name, sizeof name, format, m_folders[source].name.c_str());
            if (m_folders[target].names.contains(name)) continue;
            const std::size_t copy = cloneSubtree(source, target, name);
            freezeSubtree(source);
            freezeSubtree(copy);
            copied += files[source];
            ++m_summary->copiedSubtrees;
            break;
        }
    }
}

void DuplicatesCorpusPlanner::planSimilarFolders() {
    static constexpr const char* kSimilarFormats[] = {"%s (edited)", "%s - old", "%s 2", "Copy of %s"};
    std::uint64_t shared = 0;
    for (std::uint64_t attempt = 0; shared < m_similarSharedBudget && attempt < 50 * m_folders.size(); ++attempt) {
        const std::size_t source = 1 + m_random.next() % (m_folders.size() - 1);
        const CorpusFolder& folder = m_folders[source];
        if (folder.frozen || !folder.children.empty() || folder.files.size() < 6 || folder.files.size() > 60 ||
            m_folders[folder.parent].frozen)
            continue;
        char name[512];
        std::snprintf(name, sizeof name, kSimilarFormats[m_random.next() % std::size(kSimilarFormats)],
                      folder.name.c_str());
        if (m_folders[folder.parent].names.contains(name)) continue;
        const std::size_t similar = addFolder(m_folders[source].parent, name);
        // About 70% of the files (at least 3, never all), and 1 to 4 files of its own.
        const std::vector<PlannedFile> files = m_folders[source].files;
        std::vector<bool> take(files.size());
        std::size_t chosen = 0;
        for (std::size_t i = 0; i + 1 < files.size(); ++i) chosen += (take[i] = m_random.chance(0.7)) ? 1 : 0;
        for (std::size_t i = 0; chosen < 3; ++i) chosen += take[i] ? 0 : (take[i] = true, 1);
        std::uint64_t taken = 0;
        for (std::size_t i = 0; i < files.size(); ++i)
            if (take[i] && addFile(similar, files[i])) ++taken;
        const std::uint64_t own = m_random.between(1, 4);
        for (std::uint64_t i = 0; i < own; ++i) {
            PlannedFile file = newOriginal(m_folders[similar]);
            addFile(similar, std::move(file));
        }
        m_folders[source].frozen = true;
        m_folders[similar].frozen = true;
        shared += taken;
        ++m_summary->similarPairs;
    }
    m_summary->similarSharedFiles = shared;
}

std::string DuplicatesCorpusPlanner::copyNameFor(const std::string& name, bool sameFolder) {
    const auto [stem, extension] = splitExtension(name);
    const double draw = m_random.unit();
    if (sameFolder) {
        if (draw < 0.35) return stem + " copy" + extension;
        if (draw < 0.6) return stem + " (" + std::to_string(m_random.between(2, 4)) + ")" + extension;
        if (draw < 0.8) return "Copy of " + stem + extension;
        return stem + " copy " + std::to_string(m_random.between(2, 3)) + extension;
    }
    if (draw < 0.55) return name;
    if (draw < 0.67) return stem + " copy" + extension;
    if (draw < 0.79) return stem + " (2)" + extension;
    if (draw < 0.87) return "Copy of " + stem + extension;
    if (draw < 0.92) return stem + "-1" + extension;
    if (draw < 0.97) return "renamed " + std::to_string(m_nextNumber++) + extension;
    return stem + upperCased(extension);
}

void DuplicatesCorpusPlanner::planLooseCopies() {
    // Sources are drawn evenly over the files, not the folders, so that the
    // files of crowded folders are copied as often as any. Each new copy joins
    // the sources: a few copies are copies of copies ("name (2) copy.jpg").
    struct Source {
        std::size_t folder;
        std::size_t file;
    };
    std::vector<Source> sources;
    for (std::size_t folder = 0; folder < m_folders.size(); ++folder)
        for (std::size_t file = 0; file < m_folders[folder].files.size(); ++file)
            if (m_folders[folder].files[file].copySource && m_folders[folder].files[file].content.size > 0)
                sources.push_back({folder, file});
    while (m_fileCount < m_parameters.files) {
        if (sources.empty()) {
            // A tiny corpus of only empty or left-out files: top it up with originals.
            addFile(kRoot, newOriginal(m_folders[kRoot]));
            continue;
        }
        const Source source = sources[m_random.next() % sources.size()];
        const PlannedFile original = m_folders[source.folder].files[source.file];
        const double many = m_random.unit();
        const int copies = many < 0.7 ? 1 : many < 0.9 ? 2 : 3;
        for (int i = 0; i < copies && m_fileCount < m_parameters.files; ++i) {
            const bool sameFolder = !m_folders[source.folder].frozen && m_random.chance(0.2);
            const std::size_t folder = sameFolder ? source.folder : randomOpenFolder();
            PlannedFile copy = original;
            copy.name = copyNameFor(original.name, folder == source.folder);
            if (!addFile(folder, std::move(copy))) continue;
            ++m_summary->looseCopies;
            sources.push_back({folder, m_folders[folder].files.size() - 1});
        }
    }
}

std::string DuplicatesCorpusPlanner::relativeLink(std::size_t from, const std::string& targetRelativePath) const {
    // Up from the link's folder to the top, then down: links stay valid when the tree moves.
    std::string link;
    for (int level = 0; level < m_folders[from].depth; ++level) link += "../";
    link += targetRelativePath;
    if (link.empty()) return ".";
    if (link.back() == '/') link.pop_back();
    return link;
}

void DuplicatesCorpusPlanner::planLinks() {
    auto addLink = [&](std::size_t folder, std::string name, std::string target) {
        if (!m_folders[folder].names.insert(name).second) return;
        m_folders[folder].links.push_back(PlannedLink{std::move(name), std::move(target)});
    };
    // To files: half of them named exactly as their target, as if they were copies.
    const std::uint64_t fileLinks = std::max<std::uint64_t>(1, m_fileCount / 1000);
    for (std::uint64_t i = 0; i < fileLinks; ++i) {
        const std::size_t source = m_random.next() % m_folders.size();
        if (m_folders[source].files.empty()) continue;
        const PlannedFile& file = m_folders[source].files[m_random.next() % m_folders[source].files.size()];
        const std::size_t folder = randomOpenFolder();
        const std::string relative =
            m_folders[source].relativePath.empty() ? file.name : m_folders[source].relativePath + "/" + file.name;
        addLink(folder, m_random.chance(0.5) ? file.name : "link to " + file.name, relativeLink(folder, relative));
    }
    // To folders: a link to an ancestor makes a loop.
    const std::size_t folderLinks = std::min<std::size_t>(20, m_folders.size());
    for (std::size_t i = 0; i < folderLinks; ++i) {
        const std::size_t from = randomOpenFolder();
        const std::size_t to = m_random.next() % m_folders.size();
        addLink(from, "link to folder " + std::to_string(i), relativeLink(from, m_folders[to].relativePath));
    }
    std::size_t deepest = kRoot;
    for (std::size_t index = 0; index < m_folders.size(); ++index)
        if (m_folders[index].depth > m_folders[deepest].depth && !m_folders[index].frozen) deepest = index;
    addLink(kRoot, "dangling link", "does/not/exist");
    addLink(kRoot, "ping", "pong");
    addLink(kRoot, "pong", "ping");
    addLink(deepest, "loop", ".");
    addLink(deepest, "up", "..");
    addLink(deepest, "top of the tree", relativeLink(deepest, ""));
}

void writeContent(const std::string& path, const Content& content, std::vector<unsigned char>& buffer) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) failErrno("cannot create", path);
    Random stream(content.seed);
    std::uint64_t done = 0;
    while (done < content.size) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), content.size - done));
        for (std::size_t i = 0; i < length; i += 8) {
            const std::uint64_t word = stream.next();
            for (std::size_t byte = 0; byte < 8 && i + byte < length; ++byte)
                buffer[i + byte] = static_cast<unsigned char>(word >> (8 * byte));
        }
        if (content.mutationOffset >= done && content.mutationOffset < done + length)
            buffer[content.mutationOffset - done] ^= content.mutationXor;
        std::size_t written = 0;
        while (written < length) {
            const ssize_t count = ::write(fd, buffer.data() + written, length - written);
            if (count < 0) {
                if (errno == EINTR) continue;
                failErrno("cannot write", path);
            }
            written += static_cast<std::size_t>(count);
        }
        done += length;
    }
    if (::close(fd) != 0) failErrno("cannot close", path);
}

CorpusSummary writeDuplicatesCorpus(Random& random, const Parameters& parameters) {
    CorpusSummary summary;
    DuplicatesCorpusPlanner planner(parameters, random);
    const std::vector<CorpusFolder> folders = planner.plan(summary);
    std::printf("kestrane_make_tree: writing the duplicates corpus: %zu folders to %s\n", folders.size(),
                parameters.tree.c_str());

    std::vector<unsigned char> buffer(kWriteBufferLength);
    Summary& tree = summary.tree;
    auto pathOf = [&](const CorpusFolder& folder) {
        return folder.relativePath.empty() ? parameters.tree : parameters.tree + "/" + folder.relativePath;
    };
    for (std::size_t index = 0; index < folders.size(); ++index) {
        const CorpusFolder& folder = folders[index];
        const std::string path = pathOf(folder);
        if (::mkdir(path.c_str(), 0755) != 0) failErrno("cannot create", path);
        if (index > 0) {
            ++tree.folders;
            ++tree.foldersAtDepth[std::min(folder.depth, kMaxDepth)];
            if (folder.name[0] == '.') ++tree.hiddenFolders;
        }
        tree.largestFolder = std::max<std::uint64_t>(tree.largestFolder, folder.names.size());
        for (const PlannedFile& file : folder.files) {
            writeContent(path + "/" + file.name, file.content, buffer);
            ++tree.regularFiles;
            tree.bytes += file.content.size;
            summary.largestFile = std::max(summary.largestFile, file.content.size);
            if (file.name[0] == '.') ++tree.hiddenFiles;
            for (const LeftOutFile& leftOut : kLeftOutFiles)
                if (file.name == leftOut.name) ++summary.leftOutByScan;
        }
    }
    for (const CorpusFolder& folder : folders) {
        for (const PlannedLink& link : folder.links) {
            const std::string where = pathOf(folder) + "/" + link.name;
            if (::symlink(link.target.c_str(), where.c_str()) != 0) failErrno("cannot link", where);
            ++tree.symlinks;
        }
    }
    return summary;
}

std::string describeCorpus(const CorpusSummary& summary) {
    std::ostringstream out;
    out << describe(summary.tree) << "empty_files " << summary.emptyFiles << "\nlarge_files " << summary.largeFiles
        << "\nlargest_file " << summary.largestFile << "\nloose_copies " << summary.looseCopies
        << "\ncopied_subtrees " << summary.copiedSubtrees << " (" << summary.copiedSubtreeFolders << " folders, "
        << summary.copiedSubtreeFiles << " files)\nsimilar_folder_pairs " << summary.similarPairs << " ("
        << summary.similarSharedFiles << " shared files)\nnear_duplicate_families "
        << summary.nearDuplicateFamilies << " (" << summary.nearDuplicateFiles << " files, "
        << summary.nearDuplicatesBeyondBlocks << " differing outside the partial-key blocks)\ncamera_folders "
        << summary.cameraFolders << "\nleft_out_by_scan " << summary.leftOutByScan << "\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    const Parameters parameters = parseArguments(argc, argv);
    const std::string stampPath = parameters.tree + ".stamp";
    const std::string header = stampHeader(parameters);
    const std::string stamp = readFile(stampPath);

    if (!stamp.empty()) {
        if (stamp.rfind(header + "complete\n", 0) == 0) {
            std::printf("kestrane_make_tree: reusing %s\n%s", parameters.tree.c_str(),
                        stamp.substr(header.size() + 9).c_str());
            return 0;
        }
        std::printf("kestrane_make_tree: %s was made with other parameters (or not finished): removing it\n",
                    parameters.tree.c_str());
        removeTree(parameters.tree);
    } else if (!isEmptyOrMissingFolder(parameters.tree)) {
        fail(parameters.tree + " exists, is not empty and has no " + stampPath + ": not touching it");
    } else {
        ::rmdir(parameters.tree.c_str());  // empty: made again below
    }

    makeParents(parameters.tree);
    writeFile(stampPath, header + "incomplete\n");

    Random random(parameters.seed);
    if (parameters.duplicates) {
        const std::string description = describeCorpus(writeDuplicatesCorpus(random, parameters));
        writeFile(stampPath, header + "complete\n" + description);
        std::printf("%s", description.c_str());
        return 0;
    }
    std::vector<Folder> folders = planFolders(random, parameters);
    planFiles(random, parameters, folders);
    std::printf("kestrane_make_tree: writing %llu files in %llu folders to %s\n",
                static_cast<unsigned long long>(parameters.files),
                static_cast<unsigned long long>(parameters.folders), parameters.tree.c_str());
    const Summary summary = writeTree(random, folders);

    writeFile(stampPath, header + "complete\n" + describe(summary));
    std::printf("%s", describe(summary).c_str());
    return 0;
}
