#include "merge/MergeItem.h"

#include "duplicates/DuplicateItem.h"
#include "scan/FileSystemItem.h"

namespace kestrane {

MergeItem::MergeItem(FileSystemItem& file, const std::shared_ptr<MergeFolder>& parent)
    : m_file(&file), m_parent(parent), m_name(file.name()), m_isFolder(file.isDir()) {
    const DuplicateItem* entry = file.getDuplicateItem();
    m_url = entry != nullptr && !entry->getFileItemPath().empty() ? entry->getFileItemPath() : file.path();
    m_size = file.logicalSize() > 0 ? static_cast<std::uint64_t>(file.logicalSize()) : 0;
    m_canBeMerged = m_isFolder || file.isRegularFile();
    m_seenFacts = platform::factsOfPath(m_url);
    if (!m_seenFacts) return;
    if (!m_isFolder) m_seenFacts->size = m_size;
    // A copy in a group has the facts the scan took: which file it was and
    // when it was written then. Others have those of now, with the scan's size.
    if (const ScanFacts* scan = file.scanFacts()) {
        m_seenFacts->identity = scan->isUsable() ? scan->identity : platform::FileIdentity{};
        m_seenFacts->modification = scan->modification;
    }
}

std::shared_ptr<DuplicateItem> MergeItem::duplicateEntry() const {
    const DuplicateItem* entry = m_file != nullptr ? m_file->getDuplicateItem() : nullptr;
    return entry != nullptr ? std::const_pointer_cast<DuplicateItem>(entry->weak_from_this().lock()) : nullptr;
}

}  // namespace kestrane
