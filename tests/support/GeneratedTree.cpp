#include "support/GeneratedTree.h"

#include <array>
#include <filesystem>
#include <random>
#include <vector>

namespace kestrane::test {

namespace {

// The standard engine gives the same sequence everywhere (its distributions
// do not, so they are not used).
class Random {
public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(m_engine() % bound); }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    std::mt19937_64 m_engine;
};

}  // namespace

std::string writeGeneratedTree(const TempDir& dir, const std::string& relative, std::uint32_t seed,
                               std::size_t files) {
    namespace fs = std::filesystem;
    Random random(seed);
    const std::string base = dir.makeDir(relative);

    // Folders: each below a folder made before it, at most five deep.
    struct Folder {
        std::string path;  // relative to base, "" for base itself
        int depth;
    };
    std::vector<Folder> folders{{"", 0}};
    const std::size_t folderCount = files / 8 + 3;
    for (std::size_t i = 0; folders.size() < folderCount && i < folderCount * 4; ++i) {
        const Folder& parent = folders[random.below(folders.size())];
        if (parent.depth >= 5) continue;
        const std::string path = (parent.path.empty() ? "" : parent.path + "/") + "d" + std::to_string(folders.size());
        folders.push_back({path, parent.depth + 1});
        dir.makeDir(relative + "/" + path);
    }

    // Contents: a pool shared by the copies; every other file is unique.
    static constexpr std::array<const char*, 6> kExtensions = {".jpg", ".mp3", ".txt", ".mov", ".zip", ".bin"};
    const std::size_t poolSize = files / 5 + 2;
    auto contentOf = [&](std::size_t index) {
        return noise(300 + (index * 7919) % 4000, seed * 7777 + static_cast<std::uint32_t>(index));
    };
    auto extensionOf = [&](std::size_t index) { return kExtensions[index % kExtensions.size()]; };
    for (std::size_t i = 0; i < files; ++i) {
        const Folder& folder = folders[random.below(folders.size())];
        const std::string where = relative + "/" + (folder.path.empty() ? "" : folder.path + "/");
        if (random.chance(50)) {
            const std::size_t index = random.below(poolSize);
            dir.writeFile(where + "c" + std::to_string(i) + extensionOf(index), contentOf(index));
        } else {
            dir.writeFile(where + "u" + std::to_string(i) + ".bin", noise(200 + i % 3000, seed * 31 + 1000003 + i));
        }
    }

    // Similar folders: a few pairs that share three pooled files.
    for (int pair = 0; pair < 3; ++pair) {
        const std::string a = relative + "/" + folders[random.below(folders.size())].path;
        const std::string b = relative + "/" + folders[random.below(folders.size())].path;
        for (int k = 0; k < 3; ++k) {
            const std::size_t index = random.below(poolSize);
            dir.writeFile(a + "/s" + std::to_string(pair) + "_" + std::to_string(k) + extensionOf(index),
                          contentOf(index));
            dir.writeFile(b + "/t" + std::to_string(pair) + "_" + std::to_string(k) + extensionOf(index),
                          contentOf(index));
        }
    }

    // Empty files, and a package holding copies.
    dir.writeFile(relative + "/empty.txt", "");
    dir.writeFile(relative + "/" + folders.back().path + "/empty.txt", "");
    dir.writeFile(relative + "/Tool.app/Contents/c.bin", contentOf(0));
    dir.writeFile(relative + "/Tool.app/Contents/own.bin", noise(999, seed));

    // Whole sub-trees copied elsewhere: duplicate folders (and, when a copied
    // tree holds an earlier copy, nested ones).
    for (int copy = 0; copy < 4; ++copy) {
        const Folder& source = folders[1 + random.below(folders.size() - 1)];
        const std::string target = relative + "/copy" + std::to_string(copy);
        std::error_code error;
        fs::copy(base + "/" + source.path, dir / target, fs::copy_options::recursive, error);
    }
    return base;
}

}  // namespace kestrane::test
