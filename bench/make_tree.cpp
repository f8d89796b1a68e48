// kestrane_make_tree: writes a deterministic folder tree for the scan benchmarks.
//
//     kestrane_make_tree [TREE] [--seed S] [--files N] [--folders M]
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

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
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

struct Parameters {
    std::string tree;
    std::uint64_t seed = 1;
    std::uint64_t files = 150000;
    std::uint64_t folders = 10000;
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

Parameters parseArguments(int argc, char** argv) {
    Parameters parameters;
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
        else if (argument == "--folders")
            parameters.folders = parseCount(value(), "--folders");
        else if (argument == "-h" || argument == "--help") {
            std::printf("usage: kestrane_make_tree [TREE] [--seed S] [--files N] [--folders M]\n"
                        "default TREE: %s/s<S>-f<N>-d<M>\n",
                        KESTRANE_BENCH_TREE_BASE);
            std::exit(0);
        } else if (!argument.empty() && argument[0] == '-')
            fail("unknown option " + argument);
        else if (parameters.tree.empty())
            parameters.tree = argument;
        else
            fail("only one tree path may be given");
    }
    if (parameters.folders == 0) fail("--folders must be at least 1");
    if (parameters.tree.empty()) {
        parameters.tree = std::string(KESTRANE_BENCH_TREE_BASE) + "/s" + std::to_string(parameters.seed) + "-f" +
                          std::to_string(parameters.files) + "-d" + std::to_string(parameters.folders);
    }
    while (parameters.tree.size() > 1 && parameters.tree.back() == '/') parameters.tree.pop_back();
    if (parameters.tree == "/") fail("refusing to use / as the tree");
    return parameters;
}

std::string stampHeader(const Parameters& parameters) {
    std::ostringstream out;
    out << "kestrane-tree " << kStampVersion << "\nseed " << parameters.seed << "\nfiles " << parameters.files
        << "\nfolders " << parameters.folders << "\n";
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
