#pragma once

#include "duplicates/FileCategory.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrane {

// The process-wide cache from a file-name extension (exact bytes) to the file
// category its MIME type (or the built-in extension table) gives. It is bounded: adding an extension when it already holds
// `capacity` entries empties it first, so that a scan of millions of oddly
// named files cannot make it grow without end.
//
// Thread-safe: lookups share a lock, so many threads may read at once.
class ExtensionCategoryCache {
public:
    static constexpr std::size_t kDefaultCapacity = 10000;

    explicit ExtensionCategoryCache(std::size_t capacity = kDefaultCapacity);
    ExtensionCategoryCache(const ExtensionCategoryCache&) = delete;
    ExtensionCategoryCache& operator=(const ExtensionCategoryCache&) = delete;

    // The process-wide cache.
    static ExtensionCategoryCache& cache();

    // The category cached for the extension, if any.
    std::optional<FileCategory> categoryForExtension(std::string_view extension) const;
    void setCategoryForExtension(FileCategory category, std::string_view extension);

    std::size_t count() const;
    std::size_t capacity() const { return m_capacity; }
    void removeAllObjects();

private:
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };

    const std::size_t m_capacity;
    mutable std::shared_mutex m_mutex;
    std::unordered_map<std::string, FileCategory, StringHash, std::equal_to<>> m_categories;
};

}  // namespace kestrane
