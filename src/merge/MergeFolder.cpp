#include "merge/MergeFolder.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/HeapsFolderData.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <unordered_set>

namespace kestrane {

namespace {

std::optional<std::uint64_t> groupIDOf(const MergeItem& item) {
    const auto entry = item.duplicateEntry();
    const auto group = entry ? entry->getGroup() : nullptr;
    return group ? std::optional<std::uint64_t>(group->getGroupID()) : std::nullopt;
}

}  // namespace

std::shared_ptr<MergeFolder> MergeFolder::create(std::shared_ptr<HeapsFolderData> folderData, MergeFolderRole role,
                                                 const std::vector<std::shared_ptr<DuplicateItem>>& sharedEntries) {
    auto folder = std::make_shared<MergeFolder>(Key{}, std::move(folderData), role);
    folder->fill(sharedEntries);
    return folder;
}

MergeFolder::MergeFolder(Key, std::shared_ptr<HeapsFolderData> folderData, MergeFolderRole role)
    : m_folderData(std::move(folderData)), m_role(role), m_path(m_folderData->getFolderPath()) {}

FolderSystemItem* MergeFolder::folderItem() const { return m_folderData->getFolderSystemItem(); }

std::string_view MergeFolder::name() const {
    std::string_view path = m_path;
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || path == "/" ? path : path.substr(slash + 1);
}

void MergeFolder::fill(const std::vector<std::shared_ptr<DuplicateItem>>& sharedEntries) {
    const FolderSystemItem* folder = folderItem();
    if (folder == nullptr) return;
    std::unordered_set<const FileSystemItem*> shared;
    for (const auto& entry : sharedEntries)
        if (entry && entry->getFileSystemItem() != nullptr) shared.insert(entry->getFileSystemItem());
    const auto self = shared_from_this();
    std::vector<FileSystemItem*> children;
    for (const auto& child : folder->childrenArray()) children.push_back(child.get());
    std::sort(children.begin(), children.end(),
              [](const FileSystemItem* a, const FileSystemItem* b) { return a->name() < b->name(); });
    for (FileSystemItem* child : children) {
        auto item = std::make_shared<MergeItem>(*child, self);
        MergeItem* raw = item.get();
        m_itemsByName.emplace(raw->name(), raw);
        if (shared.contains(child)) {
            m_duplicates.push_back(raw);
            m_duplicateSet.insert(raw);
            if (const auto id = groupIDOf(*raw)) m_duplicatesByGroup[*id].push_back(raw);
        } else {
            m_uniqueItems.push_back(raw);
        }
        m_items.push_back(std::move(item));
    }
}

MergeItem* MergeFolder::itemWithName(std::string_view name) const {
    const auto it = m_itemsByName.find(name);
    return it == m_itemsByName.end() ? nullptr : it->second;
}

std::vector<MergeItem*> MergeFolder::copiesOf(const MergeItem& other) const {
    const auto id = groupIDOf(other);
    if (!id) return {};
    const auto it = m_duplicatesByGroup.find(*id);
    return it == m_duplicatesByGroup.end() ? std::vector<MergeItem*>() : it->second;
}

MergeItem& MergeFolder::addCreatedItem(FileSystemItem& file, MergeAction action) {
    auto item = std::make_shared<MergeItem>(file, shared_from_this());
    MergeItem& created = *item;
    created.setCreatedByAction(action);
    m_itemsByName.emplace(created.name(), &created);
    const auto byName = [](const auto& a, const auto& b) { return a->name() < b->name(); };
    m_uniqueItems.insert(std::upper_bound(m_uniqueItems.begin(), m_uniqueItems.end(), &created, byName), &created);
    m_items.insert(std::upper_bound(m_items.begin(), m_items.end(), item, byName), item);
    return created;
}

void MergeFolder::notifyChanged() {
    m_listeners.notify(&MergeFolderListener::onMergeFolderChanged, *this);
}

}  // namespace kestrane
