#include "duplicates/ExtensionCategoryCache.h"

#include "platform/NoDestructor.h"

#include <mutex>

namespace kestrane {

ExtensionCategoryCache::ExtensionCategoryCache(std::size_t capacity) : m_capacity(capacity > 0 ? capacity : 1) {}

ExtensionCategoryCache& ExtensionCategoryCache::cache() {
    static platform::NoDestructor<ExtensionCategoryCache> shared;
    return *shared;
}

std::optional<FileCategory> ExtensionCategoryCache::categoryForExtension(std::string_view extension) const {
    std::shared_lock lock(m_mutex);
    auto it = m_categories.find(extension);
    if (it == m_categories.end()) return std::nullopt;
    return it->second;
}

void ExtensionCategoryCache::setCategoryForExtension(FileCategory category, std::string_view extension) {
    std::unique_lock lock(m_mutex);
    auto it = m_categories.find(extension);
    if (it != m_categories.end()) {
        it->second = category;
        return;
    }
    if (m_categories.size() >= m_capacity) m_categories.clear();
    m_categories.emplace(std::string(extension), category);
}

std::size_t ExtensionCategoryCache::count() const {
    std::shared_lock lock(m_mutex);
    return m_categories.size();
}

void ExtensionCategoryCache::removeAllObjects() {
    std::unique_lock lock(m_mutex);
    m_categories.clear();
}

}  // namespace kestrane
