#pragma once

#include "platform/FileTime.h"

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrane {

// What the file system said about one path (the link itself for a symbolic
// link). An empty set stands for a path that could not be read.
struct FileAttributes {
    bool empty = true;
    bool isDirectory = false;
    bool isSymbolicLink = false;
    std::uint64_t size = 0;
    std::uint64_t linkCount = 0;
    mode_t permissions = 0;
    uid_t owner = 0;
    platform::FileTime modificationDate{};

    bool isEmpty() const { return empty; }
};

// A process-wide cache from path to the file's attributes, for the screens
// and the copies' modification dates. Thread-safe.
class FilesAttributesCacher {
public:
    static FilesAttributesCacher& instance();

    // The cached attributes, else read now and cached. When reading fails an
    // empty set is cached and nothing is returned (a later call returns the
    // empty set).
    std::optional<FileAttributes> attributesOfItemAtPath(std::string_view path);
    void reset();

    static std::optional<FileAttributes> readAttributesOfItemAtPath(const std::string& path);

private:
    FilesAttributesCacher() = default;

    std::mutex m_mutex;
    std::unordered_map<std::string, FileAttributes> m_cache;
};

}  // namespace kestrane
