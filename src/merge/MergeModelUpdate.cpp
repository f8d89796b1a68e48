#include "merge/MergeModelUpdate.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/HeapsCollection.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace kestrane {

namespace {

using ItemPairs = std::vector<std::pair<FileSystemItem*, FileSystemItem*>>;

std::shared_ptr<DuplicatesGroup> liveGroupOf(const FileSystemItem& item) {
    DuplicateItem* entry = item.getDuplicateItem();
    auto group = entry != nullptr ? entry->getGroup() : nullptr;
    return group && group->getCategory() ? group : nullptr;
}

// A copy of original's item (and everything below it) in parent under name;
// the pairs (original, copy) are appended in pre-order.
FileSystemItem* cloneInto(const FileSystemItem& original, FolderSystemItem& parent, std::string_view name,
                          bool hidden, ItemPairs& pairs) {
    FileSystemItem* clone = nullptr;
    if (original.isDir()) {
        const auto& folder = static_cast<const FolderSystemItem&>(original);
        FolderSystemItem* copy = FolderSystemItem::createInParent(name, parent, hidden, folder.isPackage());
        pairs.emplace_back(const_cast<FileSystemItem*>(&original), copy);
        for (const auto& child : folder.childrenArray())
            cloneInto(*child, *copy, child->name(), child->isHiddenFlag(), pairs);
        copy->recalculateCountOfDeepChildren();
        clone = copy;
    } else {
        clone = FileSystemItem::createInParent(name, parent, original.allocatedSize(), hidden, original.logicalSize(),
                                               original.fileKind());
        pairs.emplace_back(const_cast<FileSystemItem*>(&original), clone);
    }
    clone->m_allocatedSize = original.allocatedSize();
    clone->m_logicalSize = original.logicalSize();
    clone->setIsCheckedForDuplicates(original.isCheckedForDuplicates());
    clone->setIsComparedInPart(original.isComparedInPart());
    if (original.hasExcludeContent()) clone->markThatHasExcludeContent();
    return clone;
}

}  // namespace

MergeModelUpdate::MergeModelUpdate(std::shared_ptr<DuplicatesContainer> container) : m_container(std::move(container)) {}

void MergeModelUpdate::touched(const std::shared_ptr<DuplicatesGroup>& group) {
    if (group && std::find(m_touchedGroups.begin(), m_touchedGroups.end(), group) == m_touchedGroups.end())
        m_touchedGroups.push_back(group);
}

FileSystemItem* MergeModelUpdate::addArrival(FileSystemItem& original, FolderSystemItem& destination,
                                             std::string_view name, bool moved) {
    if (destination.childWithName(name) != nullptr) return nullptr;
    ItemPairs pairs;
    FileSystemItem* arrived = cloneInto(original, destination, name, !name.empty() && name.front() == '.', pairs);
    destination.increaseTotalSize(arrived->allocatedSize());
    if (moved)
        rehomeMovedEntries(original, pairs);
    else
        groupCopies(pairs);
    return arrived;
}

void MergeModelUpdate::rehomeMovedEntries(FileSystemItem& original, const ItemPairs& pairs) {
    // Per group of an item that moves: the copies that stay where they are
    // (to find the group again once the moving ones left it) and the new
    // items that take the moving ones' places.
    struct Rehome {
        std::vector<FileSystemItem*> staying;
        std::vector<FileSystemItem*> arriving;
    };
    std::unordered_set<const FileSystemItem*> moving;
    for (const auto& [from, to] : pairs) moving.insert(from);
    std::map<std::uint64_t, Rehome> byGroup;
    for (const auto& [from, to] : pairs) {
        const auto group = liveGroupOf(*from);
        if (!group) continue;
        auto [it, fresh] = byGroup.try_emplace(group->getGroupID());
        if (fresh)
            for (FileSystemItem* copy : group->getFileSystemItems())
                if (copy != nullptr && !moving.contains(copy)) it->second.staying.push_back(copy);
        it->second.arriving.push_back(to);
    }
    m_container->removeFileItems({&original}, true);
    for (auto& [id, rehome] : byGroup) {
        std::shared_ptr<DuplicatesGroup> group;
        for (const FileSystemItem* staying : rehome.staying)
            if ((group = liveGroupOf(*staying))) break;
        if (group) {
            for (FileSystemItem* arriving : rehome.arriving) {
                // The group may move on (to or from the hidden category) as copies join it.
                if (const auto current = liveGroupOf(*rehome.staying.front()); current) group = current;
                group->addFileItem(arriving);
            }
            touched(liveGroupOf(*rehome.staying.front()));
        } else {
            std::vector<FileSystemItem*> items = rehome.staying;
            items.insert(items.end(), rehome.arriving.begin(), rehome.arriving.end());
            if (items.size() >= 2) m_container->addGroupWithItems(items);
        }
    }
}

void MergeModelUpdate::groupCopies(const ItemPairs& pairs) {
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto& [original, copy] = pairs[i];
        if (const auto group = liveGroupOf(*original)) {
            group->addFileItem(copy);
            touched(liveGroupOf(*original));
            continue;
        }
        if (original->isDir()) {
            // The copied folder and its original are duplicates of each other;
            // folders below them are covered by the pair.
            if (i == 0 && !original->hasExcludeContent()) m_container->addGroupWithItems({original, copy});
            continue;
        }
        if (!original->isRegularFile() || original->isOtherNameOfFile()) continue;
        if (original->logicalSize() == 0 && original->name() != copy->name()) continue;
        m_container->addGroupWithItems({original, copy});
    }
}

void MergeModelUpdate::removeFolder(FolderSystemItem& folder) {
    if (folder.parent() != nullptr) {
        m_container->removeFileItems({&folder}, true);
        return;
    }
    // A scanned root stays in the result (as an empty folder); what was in it goes.
    std::vector<FileSystemItem*> children;
    for (const auto& child : folder.childrenArray()) children.push_back(child.get());
    m_container->removeFileItems(children, true);
}

void MergeModelUpdate::finish() {
    m_container->updateRoots();
    if (const auto& heaps = m_container->getHeaps()) {
        for (const auto& group : m_touchedGroups)
            if (group->getCategory()) heaps->addGroup(group);
    }
    m_container->validateEmptyDataAfterRemoveWithListener(nullptr);
}

}  // namespace kestrane
