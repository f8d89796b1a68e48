#include "scan/FolderScanContext.h"

#include <algorithm>
#include <functional>

namespace kestrane {

void HardLinkNames::add(std::vector<Name>& names) {
    if (names.empty()) return;
    const std::lock_guard lock(m_mutex);
    m_names.insert(m_names.end(), names.begin(), names.end());
    names.clear();
}

void HardLinkNames::finish() {
    const std::lock_guard lock(m_mutex);
    std::sort(m_names.begin(), m_names.end(),
              [](const Name& a, const Name& b) { return std::less<const FileSystemItem*>()(a.item, b.item); });
}

const platform::FileIdentity* HardLinkNames::find(const FileSystemItem* item) const {
    const std::lock_guard lock(m_mutex);
    const auto it = std::lower_bound(m_names.begin(), m_names.end(), item, [](const Name& name, const FileSystemItem* key) {
        return std::less<const FileSystemItem*>()(name.item, key);
    });
    return it != m_names.end() && it->item == item ? &it->file : nullptr;
}

bool HardLinkNames::empty() const {
    const std::lock_guard lock(m_mutex);
    return m_names.empty();
}

}  // namespace kestrane
