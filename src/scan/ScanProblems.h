#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// Why a scan left something out of the comparison.
enum class ScanProblemKind : std::uint8_t {
    unreadableFolder,     // could not be opened or listed: nothing in it was compared
    partlyReadFolder,     // listed, but some entries could not be examined or the listing broke off
    unreadableFile,       // could not be opened or read
    changedFile,          // its size or modification time changed while it was compared
    mountNotEntered,      // another file system mounted inside a chosen folder
    sameFolderReadOnce,   // the same folder as another chosen folder (a bind mount): read there
    hiddenFolderLeftOut,  // hidden folder whose files were not compared (hidden files left out)
    excludedFolder,       // matched by an exclusion of the settings
};
inline constexpr std::size_t kScanProblemKindCount = 8;

// The word that names the kind in reports meant for scripts ("unreadable-folder").
std::string_view scanProblemKindKey(ScanProblemKind kind);

struct ScanProblem {
    std::string path;
    ScanProblemKind kind = ScanProblemKind::unreadableFolder;
    // The errno of the failure; 0 where there is none (a folder left out on purpose).
    int error = 0;
};

// What one scan could not read or did not enter, with the reason. Filled from
// the folder-scan workers and the hashing threads at once; read once the scan
// is over.
class ScanProblems {
public:
    void add(std::string path, ScanProblemKind kind, int error = 0);

    // Every problem, ordered by kind, then by path.
    std::vector<ScanProblem> list() const;
    std::size_t count(ScanProblemKind kind) const;
    std::size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::vector<ScanProblem> m_problems;
};

}  // namespace kestrane
