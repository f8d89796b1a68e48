#include "folders/DuplicatesHeap.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/HeapsGroup.h"
#include "scan/FolderSystemItem.h"

namespace kestrane {

HeapsFolderTraits HeapsFolderTraits::of(const FolderSystemItem* folder) {
    HeapsFolderTraits traits;
    traits.folder = folder;
    if (folder == nullptr) return traits;
    traits.excluded = folder->isPackage() || folder->isInPackage();
    const DuplicateItem* entry = folder->getDuplicateItem();
    traits.isOrIsInDuplicateFolder = entry != nullptr || folder->findParentDuplicateFolder() != nullptr;
    if (entry != nullptr) {
        // The container holds its groups for as long as the folders are compared.
        traits.folderGroup = entry->getGroup().get();
        if (const auto enclosing = entry->getAssociatedDuplicateFolder()) traits.enclosingGroup = enclosing->getGroup().get();
    }
    return traits;
}

bool HeapsFolderTraits::canBeSimilar(const HeapsFolderTraits& a, const HeapsFolderTraits& b) {
    if (a.excluded || b.excluded || a.folder == b.folder) return false;
    if (a.folderGroup == nullptr || b.folderGroup == nullptr) return true;
    if (a.folderGroup == b.folderGroup) return false;
    if (a.enclosingGroup != nullptr && a.enclosingGroup == b.folderGroup) return false;
    return b.enclosingGroup == nullptr || (b.enclosingGroup != a.folderGroup && b.enclosingGroup != a.enclosingGroup);
}

std::shared_ptr<DuplicatesHeap> DuplicatesHeap::buildHeapWithFolderWithFolder(
    const std::shared_ptr<HeapsFolderData>& main, const std::shared_ptr<HeapsFolderData>& second) {
    if (!main || !second || main == second) return nullptr;
    if (!HeapsFolderTraits::canBeSimilar(HeapsFolderTraits::of(main->getFolderSystemItem()),
                                         HeapsFolderTraits::of(second->getFolderSystemItem())))
        return nullptr;
    auto heap = std::make_shared<DuplicatesHeap>(Key{}, main, second);
    return heap->getCountOfGroups() >= kMinimalCountOfSharedGroups ? heap : nullptr;
}

DuplicatesHeap::DuplicatesHeap(Key, std::shared_ptr<HeapsFolderData> main, std::shared_ptr<HeapsFolderData> second)
    : m_pMainFolderData(std::move(main)), m_pSecondFolderData(std::move(second)) {
    for (const auto& [id, group] : m_pMainFolderData->getGroups())
        if (m_pSecondFolderData->hasGroupWithID(id)) m_arrGroups.insert(id);
    // Most folder pairs share a single group and make no heap: their items
    // are not gathered for nothing.
    if (m_arrGroups.size() < kMinimalCountOfSharedGroups) return;
    m_arrItems = m_pMainFolderData->getItemsFromFolderInGroups(m_arrGroups);
    m_nCountOfMainItems = m_arrItems.size();
    for (auto& item : m_pSecondFolderData->getItemsFromFolderInGroups(m_arrGroups)) m_arrItems.push_back(std::move(item));
    std::uint64_t total = 0;
    for (const auto& item : m_arrItems) total += item->getFileItemSize();
    m_nHeapHalfSize = total / 2;
}

std::vector<std::shared_ptr<DuplicateItem>> DuplicatesHeap::getMainFolderItems() const {
    return {m_arrItems.begin(), m_arrItems.begin() + static_cast<std::ptrdiff_t>(m_nCountOfMainItems)};
}

std::vector<std::shared_ptr<DuplicateItem>> DuplicatesHeap::getSecondFolderItems() const {
    return {m_arrItems.begin() + static_cast<std::ptrdiff_t>(m_nCountOfMainItems), m_arrItems.end()};
}

bool DuplicatesHeap::sameAs(const DuplicatesHeap& other) const {
    const auto main = m_pMainFolderData->getID();
    const auto second = m_pSecondFolderData->getID();
    const auto otherMain = other.m_pMainFolderData->getID();
    const auto otherSecond = other.m_pSecondFolderData->getID();
    return (main == otherMain && second == otherSecond) || (main == otherSecond && second == otherMain);
}

std::shared_ptr<DuplicatesHeap> DuplicatesHeap::revertedHeap() const {
    return buildHeapWithFolderWithFolder(m_pSecondFolderData, m_pMainFolderData);
}

bool DuplicatesHeap::isHasLastItemsInMainFolder() const {
    return HeapsGroup::isHasLastItemsInItems(getMainFolderItems());
}

bool DuplicatesHeap::isHasLastItemsInSecondFolder() const {
    return HeapsGroup::isHasLastItemsInItems(getSecondFolderItems());
}

bool DuplicatesHeap::isOnlyLastItemsNotSelectedInMainFolder() const {
    return HeapsGroup::isOnlyLastItemsNotSelectedInItems(getMainFolderItems());
}

bool DuplicatesHeap::isOnlyLastItemsNotSelectedInSecondFolder() const {
    return HeapsGroup::isOnlyLastItemsNotSelectedInItems(getSecondFolderItems());
}

HeapsItemsStatistics DuplicatesHeap::calculateStatisticsForSecondFolder() const {
    const FolderSystemItem* mainFolder = getMainFolderItem();
    return HeapsFolderData::statisticsOfItems(
        getSecondFolderItems(), [mainFolder](const FolderSystemItem* folder) { return mainFolder != nullptr && folder == mainFolder; });
}

void DuplicatesHeap::calculateSelectionCountsOfSecondFolder(
    std::uint64_t* countOfItems, std::uint64_t* countOfSelectedItems, std::uint64_t* countOfSimilarSelectedItems,
    std::uint64_t* totalSize) const {
    calculateStatisticsForSecondFolder().copyTo(countOfItems, countOfSelectedItems, countOfSimilarSelectedItems,
                                                totalSize);
}

}  // namespace kestrane
