#include "duplicates/FilesAttributesCacher.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace kestrane {

FilesAttributesCacher& FilesAttributesCacher::instance() {
    static FilesAttributesCacher cacher;
    return cacher;
}

std::optional<FileAttributes> FilesAttributesCacher::attributesOfItemAtPath(std::string_view path) {
    std::string key(path);
    {
        std::lock_guard lock(m_mutex);
        if (const auto found = m_cache.find(key); found != m_cache.end()) return found->second;
    }
    // Read without the lock: a slow file system must not hold up other callers.
    const auto attributes = readAttributesOfItemAtPath(key);
    std::lock_guard lock(m_mutex);
    m_cache.try_emplace(std::move(key), attributes.value_or(FileAttributes{}));
    return attributes;
}

void FilesAttributesCacher::reset() {
    std::lock_guard lock(m_mutex);
    m_cache.clear();
}

std::optional<FileAttributes> FilesAttributesCacher::readAttributesOfItemAtPath(const std::string& path) {
    if (path.empty()) return std::nullopt;
    struct statx info {};
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_UID | STATX_SIZE | STATX_MTIME;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, mask, &info) != 0) return std::nullopt;
    FileAttributes attributes;
    attributes.empty = false;
    attributes.isDirectory = S_ISDIR(info.stx_mode);
    attributes.isSymbolicLink = S_ISLNK(info.stx_mode);
    attributes.size = info.stx_size;
    attributes.linkCount = info.stx_nlink;
    attributes.permissions = info.stx_mode & 07777;
    attributes.owner = info.stx_uid;
    attributes.modificationDate = platform::FileTime::fromStatx(info.stx_mtime);
    return attributes;
}

}  // namespace kestrane
