#include "log/RestoreHelper.h"

#include "log/BaseRemovedItem.h"
#include "log/FolderNames.h"
#include "log/RestoreGroup.h"
#include "platform/DirectoryReader.h"
#include "platform/SafeFileOperations.h"
#include "platform/Text.h"
#include "platform/UserFolders.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace kestrane {

namespace {

struct NameParts {
    std::string folder;
    std::string base;       // the name without extension (a folder's whole name)
    std::string extension;  // without the dot; empty when none
};

NameParts partsOf(const std::string& path, bool isDirectory) {
    NameParts parts;
    parts.folder = std::string(platform::parentPath(path));
    const std::string_view name = platform::lastPathComponent(path);
    if (isDirectory) {
        parts.base = std::string(name);
    } else {
        parts.base = std::string(platform::nameWithoutExtension(name));
        parts.extension = std::string(platform::pathExtension(name));
    }
    return parts;
}

// Whether `name` is base + " restored" or base + " restored N" (one or more
// digits), followed by "." and the extension when there is one.
bool isRestoredName(std::string_view name, const NameParts& parts) {
    if (!parts.extension.empty()) {
        const std::string tail = "." + parts.extension;
        if (!name.ends_with(tail)) return false;
        name.remove_suffix(tail.size());
    }
    const std::string stem = parts.base + std::string(RestoreHelper::kRestorationSuffix);
    if (!name.starts_with(stem)) return false;
    name.remove_prefix(stem.size());
    if (name.empty()) return true;
    if (name.front() != ' ' || name.size() == 1) return false;
    for (const char c : name.substr(1))
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

bool RestoreHelper::attributesMatchItem(std::optional<platform::FileTime> modified, std::int64_t size,
                                        const BaseFileLogItem& item) {
    if (!modified) return false;
    if (const auto logged = item.originalFileModificationDate()) {
        // The log keeps whole seconds; the file may have nanoseconds.
        const long double difference = static_cast<long double>(modified->seconds - *logged) +
                                       static_cast<long double>(modified->nanoseconds) / 1e9L;
        if (difference >= 2 || difference <= -2) {
            const auto removed = item.removeDate();
            if (!removed || !(modified->seconds < *removed)) return false;
        }
    }
    if (item.isDirectory() || item.fileSize() == -1) return true;
    return size == item.fileSize();
}

bool RestoreHelper::fileMatchesItem(const std::string& path, const BaseFileLogItem& item) {
    const platform::PathAnchor anchor(path);
    if (!anchor) return false;
    struct stat attributes {};
    if (::fstatat(anchor.directory(), anchor.name(), &attributes, AT_SYMLINK_NOFOLLOW) != 0) return false;
    return attributesMatchItem(
        platform::FileTime{attributes.st_mtim.tv_sec, static_cast<std::uint32_t>(attributes.st_mtim.tv_nsec)},
        static_cast<std::int64_t>(attributes.st_size), item);
}

std::string RestoreHelper::restoredFilePath(const std::string& path, bool isDirectory, unsigned index,
                                            const std::optional<std::string>& destinationFolder) {
    const NameParts parts = partsOf(path, isDirectory);
    const std::string folder = destinationFolder ? *destinationFolder : parts.folder;
    if (index == 0)
        return destinationFolder ? platform::joinPath(*destinationFolder, std::string(platform::lastPathComponent(path)))
                                 : path;
    std::string name = parts.base + std::string(kRestorationSuffix);
    if (index >= 2) name += " " + std::to_string(index);
    if (!parts.extension.empty()) name += "." + parts.extension;
    return platform::joinPath(folder.empty() ? std::string("/") : folder, name);
}

std::string RestoreHelper::restoredFilePathForItem(const BaseFileLogItem& item, unsigned index,
                                                   const std::optional<std::string>& destinationFolder) {
    return restoredFilePath(item.originalPath(), item.isDirectory(), index, destinationFolder);
}

std::optional<std::string> RestoreHelper::restoredFilePath(const BaseRemovedItem& item) {
    for (unsigned index = 0; index <= 2; ++index) {
        const std::string candidate = restoredFilePathForItem(item, index, std::nullopt);
        if (item.couldBeUsedAsRestoredPath(candidate) && platform::pathExists(candidate) &&
            fileMatchesItem(candidate, item))
            return candidate;
    }
    const NameParts parts = partsOf(item.originalPath(), item.isDirectory());
    const std::string folder = parts.folder.empty() ? std::string("/") : parts.folder;
    const std::string prefix = parts.base + std::string(kRestorationSuffix);
    const auto group = item.removeInfoDataSource();
    FolderNames ownNames;
    FolderNames& names = group && group->folderNames() ? *group->folderNames() : ownNames;
    for (const auto& name : names.namesWithPrefix(folder, prefix)) {
        if (!isRestoredName(name, parts)) continue;
        const std::string candidate = platform::joinPath(folder, name);
        if (item.couldBeUsedAsRestoredPath(candidate) && fileMatchesItem(candidate, item)) return candidate;
    }
    return std::nullopt;
}

std::string RestoreHelper::restoreDestination(const BaseRemovedItem& item,
                                              const std::optional<std::string>& destinationFolder) {
    for (unsigned index = 0;; ++index) {
        const std::string candidate = restoredFilePathForItem(item, index, destinationFolder);
        if (item.couldBeUsedAsRestoredPath(candidate) && !platform::pathExists(candidate)) return candidate;
    }
}

}  // namespace kestrane
