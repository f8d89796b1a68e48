#include "log/KeptItem.h"

#include "log/RestoreHelper.h"

#include <sys/stat.h>

namespace kestrane {

std::shared_ptr<KeptItem> KeptItem::fromRecord(const nlohmann::json& record) {
    auto item = std::make_shared<KeptItem>(Key());
    if (!item->readRecord(record)) return nullptr;
    return item;
}

std::shared_ptr<KeptItem> KeptItem::fromFile(const std::string& path) {
    struct stat attributes {};
    if (::lstat(path.c_str(), &attributes) != 0) return nullptr;
    auto item = std::make_shared<KeptItem>(Key());
    const bool folder = S_ISDIR(attributes.st_mode);
    item->setFromFile(path, folder ? -1 : static_cast<std::int64_t>(attributes.st_size), folder,
                      {attributes.st_mtim.tv_sec, static_cast<std::uint32_t>(attributes.st_mtim.tv_nsec)});
    return item;
}

bool KeptItem::canBeUsedToRestore() const {
    {
        std::lock_guard lock(m_mutex);
        if (m_canBeUsedToRestore) return *m_canBeUsedToRestore;
    }
    const bool usable = RestoreHelper::fileMatchesItem(originalPath(), *this);
    std::lock_guard lock(m_mutex);
    m_canBeUsedToRestore = usable;
    return usable;
}

void KeptItem::clearCache() {
    std::lock_guard lock(m_mutex);
    m_canBeUsedToRestore.reset();
}

std::optional<std::string> KeptItem::itemToRestoreSourcePath() const {
    if (!canBeUsedToRestore()) return std::nullopt;
    return originalPath();
}

}  // namespace kestrane
