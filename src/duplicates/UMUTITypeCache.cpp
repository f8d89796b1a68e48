#include "duplicates/UMUTITypeCache.h"

#include "platform/NoDestructor.h"

#include <mutex>

namespace kestrane {

UMUTITypeCache::UMUTITypeCache(std::size_t capacity) : m_capacity(capacity > 0 ? capacity : 1) {}

UMUTITypeCache& UMUTITypeCache::cache() {
    static platform::NoDestructor<UMUTITypeCache> shared;
    return *shared;
}

std::optional<FileCategory> UMUTITypeCache::fileTypeIdentifierWithExtension(std::string_view extension) const {
    std::shared_lock lock(m_mutex);
    auto it = m_types.find(extension);
    if (it == m_types.end()) return std::nullopt;
    return it->second;
}

void UMUTITypeCache::setUTITypeForExtension(FileCategory type, std::string_view extension) {
    std::unique_lock lock(m_mutex);
    auto it = m_types.find(extension);
    if (it != m_types.end()) {
        it->second = type;
        return;
    }
    if (m_types.size() >= m_capacity) m_types.clear();
    m_types.emplace(std::string(extension), type);
}

std::size_t UMUTITypeCache::count() const {
    std::shared_lock lock(m_mutex);
    return m_types.size();
}

void UMUTITypeCache::removeAllObjects() {
    std::unique_lock lock(m_mutex);
    m_types.clear();
}

}  // namespace kestrane
