#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_set>
#include <vector>

namespace kestrane {

class ExcludeTreeCheckerByRootNode;
class FileSystemItem;
class Settings;

// The rules that keep the skip list, the skipped extensions and a fixed set
// of system locations out of a scan, answered for a whole path or a file
// item. buildTreeChecker() gives the same rules as a tree that the folder
// scan walks name by name.
//
// The most specific folder decides: a folder included inside an excluded one
// is scanned, and a folder excluded inside an included one is not. Paths are
// compared as exact bytes; nothing is normalised.
//
// Built on one thread, then only read: isPathExcluded, isFileItemExcluded and
// buildTreeChecker may be called from several threads at once without locks.
class ExcludeChecker {
public:
    // Where the fixed system locations are looked for. standard() gives the
    // real ones; tests point them at a temporary folder.
    struct SystemLocations {
        std::string homeFolder;  // the user's home folder
        std::string dataHome;    // $XDG_DATA_HOME (holds the user's Trash)
        std::string rootVolumePath = "/";
        // Folders whose every entry is taken as the root of a volume.
        std::vector<std::string> volumeContainerFolders;
        uid_t userId = 0;  // for the per-volume ".Trash-$UID" folders

        // The running user's locations: home and data folder from the
        // environment, "/" and the entries of /Volumes, /media,
        // /media/$USER, /run/media/$USER and /mnt.
        static SystemLocations standard();
    };

    // forScan adds the fixed system locations; without it only the user's
    // settings apply (as when validating folders that the user adds).
    // The settings are read once, here.
    explicit ExcludeChecker(bool forScan);  // Settings::standard()
    ExcludeChecker(bool forScan, const Settings& settings);
    ExcludeChecker(bool forScan, const Settings& settings, const SystemLocations& locations);

    // Each path becomes an included folder (when it exists).
    void addIncludedFolderPaths(const std::vector<std::string>& paths);
    // A folder path that does not exist is ignored; otherwise the folder and
    // everything below it is excluded / included.
    void addToExcludeFolder(const std::string& path);
    void addToIncludeFolder(const std::string& path);
    // The exact path is excluded, whether or not it exists now.
    void addToExcludeFile(const std::string& path);
    void addToExcludeFiles(const std::vector<std::string>& paths);
    // The backup folder, the system folders and files, and the Trash folders
    // at the root of the volume mounted at volumePath.
    void addExcludedItemsForVolumePath(const std::string& volumePath);

    // Empty path: not excluded.
    bool isPathExcluded(std::string_view path) const;
    // A null item is excluded. An item whose path is excluded is also marked
    // as checked for duplicates. Otherwise the extension of its name decides.
    bool isFileItemExcluded(FileSystemItem* item) const;
    // The exact excluded paths (folders and files) and included folders as a tree.
    std::shared_ptr<const ExcludeTreeCheckerByRootNode> buildTreeChecker() const;

    bool isScanInHiddenFolders() const { return m_bScanInHiddenFolders; }

    // The folder path with one trailing "/" (added only when missing).
    static std::string buildPathPrefixForFolderPath(std::string_view path);
    // The text after the last "." of a file name, ASCII lower-cased; empty
    // when the name has no "." other than a leading one (".bashrc") or ends
    // with ".".
    static std::string lowercasedExtensionOfName(std::string_view name);

    // The names excluded at the root of every volume when the setting to skip
    // volume system folders is on.
    static const std::vector<std::string>& volumeSystemFolderNames();
    static const std::vector<std::string>& volumeSystemFileNames();

private:
    // Transparent hashing, so that a string_view is looked up without a copy.
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
    };
    using PathSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;

    struct PathPrefix {
        std::string prefix;
        bool included;  // a prefix registered both ways counts as included
    };

    void addFixedLocations(const SystemLocations& locations);
    void addVolumesInFolder(const std::string& folder);
    void addPathPrefix(std::string prefix, bool included);

    bool m_bScanInHiddenFolders = false;
    bool m_bExcludeTimeMachineBackups = true;
    bool m_bSkipVolumeSystemFolders = true;
    uid_t m_userId = 0;

    PathSet _excludeExtensions;
    PathSet _excludePaths;
    PathSet _excludePathPrefixes;
    PathSet _includePaths;
    PathSet _includePathPrefixes;
    // Every prefix of both kinds, kept sorted by length, longest first.
    std::vector<PathPrefix> _pathPrefixes;
};

}  // namespace kestrane
