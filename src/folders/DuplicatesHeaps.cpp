#include "folders/DuplicatesHeaps.h"

#include "platform/Clock.h"
#include "platform/Text.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "duplicates/HeapsValidateProgressListener.h"
#include "folders/DuplicatesHeap.h"
#include "folders/HeapsFolderData.h"
#include "folders/HeapsGroup.h"
#include "folders/HeapsPairFinder.h"
#include "platform/MainQueue.h"
#include "scan/ExcludeChecker.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <map>
#include <set>
#include <type_traits>

namespace kestrane {

namespace {

std::string smallFileKey(const FileSystemItem& item) {
    std::string key = std::to_string(item.logicalSize());
    const std::string_view extension = platform::pathExtension(item.name());
    if (!extension.empty()) {
        key.push_back('_');
        key.append(extension);
    }
    return key;
}

std::string smallFolderKey(const FileSystemItem& item) {
    return std::to_string(item.logicalSize()) + "_" + std::to_string(item.getCountOfDeepChildren());
}

// For every key that has a new item: the items already known to be small
// duplicates join it and are to be compared again.
template <typename T>
void mergeExistingIntoNew(SeparatorMap<T>& fresh, SeparatorMap<T>& existing, bool withDescendants) {
    for (auto& [key, set] : fresh) {
        const auto* known = existing.find(key);
        if (set.empty() || known == nullptr || set.size() + known->size() < 2) continue;
        for (T* item : *known) {
            set.insert(item);
            item->setIsCheckedForDuplicates(false);
            if constexpr (std::is_base_of_v<FolderSystemItem, T>) {
                if (withDescendants)
                    for (FileSystemItem* below : item->childrenDeepArray()) below->setIsCheckedForDuplicates(false);
            }
        }
    }
}

}  // namespace

std::shared_ptr<DuplicatesHeaps> DuplicatesHeaps::create() {
    return std::make_shared<DuplicatesHeaps>(Key{});
}

DuplicatesHeaps::DuplicatesHeaps(Key) : m_clock(platform::Clock::steady()) {}

DuplicatesHeaps::~DuplicatesHeaps() = default;

void DuplicatesHeaps::attachToQueue(const platform::DispatchQueue& queue) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_queueChecker.attach(queue);
}

std::shared_ptr<HeapsFolderData> DuplicatesHeaps::findRecord(std::string_view path) const {
    if (const auto it = m_arrFoldersData.find(path); it != m_arrFoldersData.end()) return it->second;
    if (const auto it = m_arrHiddenFoldersData.find(path); it != m_arrHiddenFoldersData.end()) return it->second;
    return nullptr;
}

void DuplicatesHeaps::addGroup(const std::shared_ptr<DuplicatesGroup>& group) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!group) return;
    if (m_pContainer.expired()) m_pContainer = group->getContainer();
    const std::uint64_t groupID = group->getGroupID();
    std::vector<std::shared_ptr<HeapsFolderData>> touched;
    for (const auto& item : group->itemsView()) {
        FileSystemItem* file = item->getFileSystemItem();
        if (file == nullptr || file->parent() == nullptr) continue;  // a scanned root has no folder here
        const std::string_view path = item->getParentFolderItemPath();
        auto record = findRecord(path);
        if (!record) {
            record = HeapsFolderData::create(file->parent(), m_pContainer, std::string(path));
            m_arrFoldersData.emplace(record->getFolderPath(), record);
        }
        auto& intersection = m_arrFoldersIntersections[record->getID()];
        intersection.emplace(groupID, group);
        if (intersection.size() >= 2) m_nPossibleHeapsSize.fetch_add(item->getFileItemSize(), std::memory_order_relaxed);
        if (std::find(touched.begin(), touched.end(), record) == touched.end()) touched.push_back(std::move(record));
    }
    for (const auto& record : touched) record->addItemsOfGroup(group);
    m_bNeedRecalculateTotalHeapsSize = true;
}

void DuplicatesHeaps::removeGroup(const std::shared_ptr<DuplicatesGroup>& group) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!group) return;
    for (const auto& record : getAllFoldersOfGroup(*group)) record->removeItemsOfGroup(group->getGroupID());
    m_bNeedRecalculateTotalHeapsSize = true;
}

std::vector<std::shared_ptr<HeapsFolderData>> DuplicatesHeaps::getAllFoldersOfGroup(const DuplicatesGroup& group) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<std::shared_ptr<HeapsFolderData>> records;
    for (const auto& item : group.itemsView()) {
        auto record = findRecord(item->getParentFolderItemPath());
        if (record && std::find(records.begin(), records.end(), record) == records.end())
            records.push_back(std::move(record));
    }
    return records;
}

std::size_t DuplicatesHeaps::pruneIntersection(std::uint64_t folderID) {
    const auto it = m_arrFoldersIntersections.find(folderID);
    if (it == m_arrFoldersIntersections.end()) return 0;
    std::erase_if(it->second, [](const auto& entry) {
        const auto group = entry.second.lock();
        return !group || !group->getCategory();
    });
    return it->second.size();
}

void DuplicatesHeaps::generateHeapsGroup(HeapsGroup& group, const RecordLookup& lookup) const {
    const auto& main = group.getMainFolder();
    const auto it = m_arrFoldersIntersections.find(main->getID());
    if (it == m_arrFoldersIntersections.end()) return;
    // The groups' entries (and so these views of their paths) outlive the loop.
    std::vector<std::string_view> paths;
    for (const auto& [id, weakGroup] : it->second) {
        const auto shared = weakGroup.lock();
        if (!shared || !shared->getCategory()) continue;
        for (const auto& item : shared->itemsView()) paths.push_back(item->getParentFolderItemPath());
    }
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    std::erase(paths, std::string_view(main->getFolderPath()));
    for (const auto& path : paths)
        if (const auto second = lookup(path)) group.addHeap(DuplicatesHeap::buildHeapWithFolderWithFolder(main, second));
}

// The full computation:
//  1. records whose folder has copies of fewer than two live groups go;
//  2. the hidden records come back and every record is brought up to date;
//  3. folder by folder (until cancelled), its heaps with every folder holding
//     a copy of one of its groups (HeapsPairFinder); the size found so far is
//     reported on the way; at most m_nMaximalPairCount pairs are kept, the
//     biggest, and the others counted;
//  4. the heaps of a cancelled computation are also seen from the folders it
//     did not visit, so that it still gives both folders of each heap found;
//  5. records without heaps go, records with only heaps with duplicate
//     folders are hidden;
//  6. the final size is reported, whatever the throttle.
void DuplicatesHeaps::validateEmptyDataAfterRemoveWithListener(
    const std::shared_ptr<HeapsValidateProgressListener>& listener) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // 1. Folders with copies of fewer than two live groups can be in no heap.
    std::uint64_t examined = 0;
    for (auto it = m_arrFoldersData.begin(); it != m_arrFoldersData.end();) {
        ++examined;
        const std::uint64_t id = it->second->getID();
        if (pruneIntersection(id) < 2) {
            m_arrFoldersIntersections.erase(id);
            it = m_arrFoldersData.erase(it);
        } else {
            ++it;
        }
    }
    addCheckedFolders(listener, examined, false);

    // 2. The hidden records are looked at again; every record is brought up to date.
    m_arrFoldersData.merge(m_arrHiddenFoldersData);
    m_arrHiddenFoldersData.clear();
    for (const auto& [path, record] : m_arrFoldersData) record->updateData();

    // 3. The heaps of every folder, until cancelled; 4. as seen from the
    // folders not visited as well.
    std::vector<std::shared_ptr<HeapsFolderData>> records;
    records.reserve(m_arrFoldersData.size());
    for (const auto& [path, record] : m_arrFoldersData) records.push_back(record);
    HeapsPairFinder finder(std::move(records), m_nMaximalPairCount);
    std::uint64_t runningTotal = 0;
    const std::size_t count = m_arrFoldersData.size();
    finder.run([&listener] { return listener && listener->isHeapsValidationCanceled(); },
               [&](std::size_t index, const HeapsPairFinder::Row& row) {
                   for (const auto& item : row.participatingItems)
                       if (!item->getAssociatedDuplicateFolder()) runningTotal += item->getFileItemSize();
                   if (runningTotal > 0)
                       notifyHeapsSizeChangedWithProgress(
                           listener, runningTotal,
                           static_cast<float>(index) / static_cast<float>(count) * 0.5f + 0.5f, false);
                   addCheckedFolders(listener, 1, false);
               });
    m_nFoundPairs = finder.foundPairCount();
    m_nKeptPairs = finder.keptPairCount();
    auto table = std::make_shared<HeapsRecordTable>(finder.records());
    std::unordered_map<std::uint64_t, std::shared_ptr<HeapsGroup>> groups;
    auto& rows = finder.rows();
    for (std::size_t index = 0; index < rows.size(); ++index) {
        auto& row = rows[index];
        if (row.foundHeaps == 0 && row.foundHeapsWithDuplicatesFolder == 0) {
            (*table)[index].reset();  // no entry points at a folder without heaps: it may go
            continue;
        }
        const auto& record = finder.records()[index];
        groups.emplace(record->getID(),
                       HeapsGroup::createComputed(record, {table, std::move(row.heaps),
                                                           std::move(row.heapsWithDuplicatesFolder), row.foundHeaps,
                                                           row.foundHeapsWithDuplicatesFolder,
                                                           std::move(row.participatingItems)}));
    }

    // 5. Keep the result; records without heaps go, those with only heaps
    // with duplicate folders are set aside.
    m_arrHeapsGroups = std::move(groups);
    for (auto it = m_arrFoldersData.begin(); it != m_arrFoldersData.end();) {
        const std::uint64_t id = it->second->getID();
        const auto group = m_arrHeapsGroups.find(id);
        if (group == m_arrHeapsGroups.end() || !group->second->hasAnyHeap()) {
            m_arrFoldersIntersections.erase(id);
            m_arrHeapsGroups.erase(id);
            it = m_arrFoldersData.erase(it);
        } else if (group->second->hasOnlyHeapsWithDuplicatesFolder()) {
            m_arrHiddenFoldersData.insert(m_arrFoldersData.extract(it++));
        } else {
            ++it;
        }
    }
    // 6. (The total is recomputed at once, so that getPossibleHeapsSize follows.)
    m_bNeedRecalculateTotalHeapsSize = true;
    getTotalHeapsSize();
    notifyHeapsSizeChangedWithProgress(listener, runningTotal, 1.0f, true);
    addCheckedFolders(listener, 0, true);
}

void DuplicatesHeaps::addCheckedFolders(const std::shared_ptr<HeapsValidateProgressListener>& listener,
                                        std::uint64_t count, bool flush) {
    if (!listener) return;
    m_nPendingCheckedFolders += count;
    const auto now = m_clock->now();
    if (!flush && m_lastCheckedFoldersReportDate && now - *m_lastCheckedFoldersReportDate <= kNotificationInterval)
        return;
    if (m_nPendingCheckedFolders == 0) return;
    m_lastCheckedFoldersReportDate = now;
    platform::MainQueue::shared().async(
        [weak = std::weak_ptr<HeapsValidateProgressListener>(listener), pending = std::exchange(m_nPendingCheckedFolders, 0)] {
            if (const auto strong = weak.lock()) strong->onHeapsCheckedFolders(pending);
        });
}

bool DuplicatesHeaps::notifyHeapsSizeChangedWithProgress(const std::shared_ptr<HeapsValidateProgressListener>& listener,
                                                         std::uint64_t size, float progress, bool forced) {
    if (!listener) return false;
    const auto now = m_clock->now();
    if (!forced && m_lastNotificationDate && now - *m_lastNotificationDate <= kNotificationInterval) return false;
    m_lastNotificationDate = now;
    platform::MainQueue::shared().async([weak = std::weak_ptr<HeapsValidateProgressListener>(listener), size, progress] {
        if (const auto strong = weak.lock()) strong->onHeapsSizeChangedWithProgress(size, progress);
    });
    return true;
}

std::uint64_t DuplicatesHeaps::getPossibleHeapsSize() const {
    return std::max(m_nPossibleHeapsSize.load(std::memory_order_relaxed),
                    m_nTotalHeapsSize.load(std::memory_order_relaxed));
}

std::uint64_t DuplicatesHeaps::getTotalHeapsSize() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bNeedRecalculateTotalHeapsSize) {
        std::uint64_t total = 0;
        for (const auto& [path, record] : m_arrFoldersData)
            if (const auto group = getHeapsGroupForFolderData(*record)) total += group->calculateSizeOfParticipatingItems();
        m_nTotalHeapsSize.store(total, std::memory_order_relaxed);
        m_bNeedRecalculateTotalHeapsSize = false;
    }
    return m_nTotalHeapsSize.load(std::memory_order_relaxed);
}

std::vector<HeapsProgressGroup> DuplicatesHeaps::buildProgressData() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::map<std::uint64_t, HeapsProgressGroup> byGroup;
    for (const auto& [path, record] : m_arrFoldersData) {
        const auto group = getHeapsGroupForFolderData(*record);
        if (!group) continue;
        for (const auto& item : group->getItemsInMainFolderThatParticipateInHeaps()) {
            if (item->getAssociatedDuplicateFolder()) continue;
            auto duplicatesGroup = item->getGroup();
            if (!duplicatesGroup) continue;
            auto& entry = byGroup[duplicatesGroup->getGroupID()];
            if (!entry.group) entry.group = std::move(duplicatesGroup);
            entry.items.push_back(item);
        }
    }
    std::vector<HeapsProgressGroup> data;
    data.reserve(byGroup.size());
    for (auto& [id, entry] : byGroup) data.push_back(std::move(entry));
    return data;
}

std::shared_ptr<HeapsGroup> DuplicatesHeaps::getHeapsGroupForFolderData(const HeapsFolderData& folderData) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const auto it = m_arrHeapsGroups.find(folderData.getID());
    return it == m_arrHeapsGroups.end() ? nullptr : it->second;
}

std::shared_ptr<HeapsGroup> DuplicatesHeaps::buildHeapsGroupForFolderWithPath(const std::string& path) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const auto record = findRecord(path);
    if (!record) return nullptr;
    auto group = HeapsGroup::create(record);
    generateHeapsGroup(*group, [this](std::string_view other) { return findRecord(other); });
    return group;
}

void DuplicatesHeaps::forEachPairLargestFirst(const PairVisitor& visit) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // The shown folders, those with the most duplicates first (ties: by path);
    // each pair comes from the first of its two folders in that order.
    std::vector<const HeapsGroup*> ranked;
    {
        std::vector<const HeapsFolderData*> records;
        records.reserve(m_arrFoldersData.size());
        for (const auto& [path, record] : m_arrFoldersData) records.push_back(record.get());
        std::stable_sort(records.begin(), records.end(), [](const HeapsFolderData* a, const HeapsFolderData* b) {
            return a->getAllDuplicatesSize() > b->getAllDuplicatesSize();
        });
        ranked.reserve(records.size());
        for (const HeapsFolderData* record : records) ranked.push_back(getHeapsGroupForFolderData(*record).get());
    }
    std::unordered_map<const HeapsFolderData*, std::uint32_t> rankOf;
    rankOf.reserve(ranked.size());
    for (std::uint32_t rank = 0; rank < ranked.size(); ++rank)
        if (ranked[rank] != nullptr) rankOf.emplace(ranked[rank]->getMainFolder().get(), rank);

    // One cursor per folder over its heaps (largest first, then by second
    // record ID), merged: largest first, then by folder rank, then by ID.
    struct Cursor {
        std::uint32_t rank;
        std::size_t position;
        std::uint64_t halfSize;
        std::uint64_t secondID;
        const HeapsFolderData* second;
    };
    const auto advance = [&](Cursor& cursor) {
        const auto& entries = ranked[cursor.rank]->getHeapEntries();
        for (; cursor.position < entries.size(); ++cursor.position) {
            const auto& second = ranked[cursor.rank]->secondRecordOf(entries[cursor.position]);
            const auto it = rankOf.find(second.get());
            if (it == rankOf.end() || it->second <= cursor.rank) continue;  // listed from the other folder
            cursor.halfSize = entries[cursor.position].halfSize;
            cursor.secondID = second->getID();
            cursor.second = second.get();
            return true;
        }
        return false;
    };
    const auto later = [](const Cursor& a, const Cursor& b) {
        if (a.halfSize != b.halfSize) return a.halfSize < b.halfSize;
        if (a.rank != b.rank) return a.rank > b.rank;
        return a.secondID > b.secondID;
    };
    std::vector<Cursor> queue;
    for (std::uint32_t rank = 0; rank < ranked.size(); ++rank) {
        if (ranked[rank] == nullptr) continue;
        Cursor cursor{rank, 0, 0, 0, nullptr};
        if (advance(cursor)) queue.push_back(cursor);
    }
    std::make_heap(queue.begin(), queue.end(), later);
    while (!queue.empty()) {
        std::pop_heap(queue.begin(), queue.end(), later);
        Cursor& cursor = queue.back();
        const HeapsGroup& group = *ranked[cursor.rank];
        const auto& entry = group.getHeapEntries()[cursor.position];
        if (!visit(*group.getMainFolder(), *cursor.second, entry.halfSize, entry.sharedGroups)) return;
        ++cursor.position;
        if (advance(cursor))
            std::push_heap(queue.begin(), queue.end(), later);
        else
            queue.pop_back();
    }
}

void DuplicatesHeaps::updateDataOfFolders(const std::vector<std::string>& paths) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    for (const auto& path : paths)
        if (const auto record = findRecord(path)) record->updateData();
    m_bNeedRecalculateTotalHeapsSize = true;
}

void DuplicatesHeaps::recalculateHeapsInfo() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    for (const auto& [path, record] : m_arrFoldersData) record->updateData();
    for (const auto& [path, record] : m_arrHiddenFoldersData) record->updateData();
    for (auto& [id, group] : m_arrHeapsGroups) {
        auto rebuilt = HeapsGroup::create(group->getMainFolder());
        rebuilt->fastRecalculateGroup(*group);
        rebuilt->sortHeapsLargestFirst();
        group = std::move(rebuilt);
    }
    m_bNeedRecalculateTotalHeapsSize = true;
}

void DuplicatesHeaps::collectSmallItemsToCompare(
    SeparatorMap<FileSystemItem>& files, SeparatorMap<FolderSystemItem>& folders,
    const std::shared_ptr<DuplicatesContainer>& container, bool withHiddenFolders, bool& isContainerChanged) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    files.clear();
    folders.clear();
    isContainerChanged = false;
    if (!container) return;
    const auto& small = container->getSmallDuplicatesCategory();
    isContainerChanged = small->getGroupsCount() > 0;
    const auto& excludeChecker = container->getExcludeChecker();

    SeparatorMap<FileSystemItem> existingFiles;
    SeparatorMap<FolderSystemItem> existingFolders;
    // Small-duplicates groups met in the folders, with all their items.
    std::map<std::uint64_t, std::vector<FileSystemItem*>> remembered;
    for (const auto& [path, record] : m_arrFoldersData) {
        const FolderSystemItem* folder = record->getFolderSystemItem();
        if (folder == nullptr) continue;
        for (const auto& child : folder->childrenArray()) {
            FileSystemItem* item = child.get();
            if (excludeChecker && excludeChecker->isFileItemExcluded(item)) {
                item->setIsCheckedForDuplicates(true);
                continue;
            }
            const DuplicateItem* entry = item->getDuplicateItem();
            if (entry == nullptr) {
                if (item->isCheckedForDuplicates()) continue;
                if (item->isDir()) {
                    if (!withHiddenFolders && item->isTopHiddenFlag()) continue;
                    folders.addObjectWithSeparatorKey(static_cast<FolderSystemItem*>(item), smallFolderKey(*item));
                } else {
                    files.addObjectWithSeparatorKey(item, smallFileKey(*item));
                }
                continue;
            }
            const auto group = entry->getGroup();
            if (!group || group->getCategory() != small) continue;
            remembered.try_emplace(group->getGroupID(), group->getFileSystemItems());
            if (item->isDir())
                existingFolders.addObjectWithSeparatorKey(static_cast<FolderSystemItem*>(item), smallFolderKey(*item));
            else
                existingFiles.addObjectWithSeparatorKey(item, smallFileKey(*item));
        }
    }
    small->removeAllGroups();

    mergeExistingIntoNew(files, existingFiles, false);
    mergeExistingIntoNew(folders, existingFolders, true);

    // What is not compared again stays a group, now a regular one.
    for (const auto& [id, items] : remembered) {
        std::vector<FileSystemItem*> checked;
        for (FileSystemItem* item : items)
            if (item->isCheckedForDuplicates()) checked.push_back(item);
        if (checked.size() >= 2) container->addGroupWithItems(checked);
    }
}

namespace {

void sortByHalfSize(std::vector<std::shared_ptr<DuplicatesHeap>>& heaps) {
    std::stable_sort(heaps.begin(), heaps.end(),
                     [](const auto& a, const auto& b) { return a->getHeapHalfSize() > b->getHeapHalfSize(); });
}

}  // namespace

DuplicatesHeaps::Heaps DuplicatesHeaps::biggestHeaps(std::size_t maxCount) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (maxCount == 0) return {};
    std::vector<std::shared_ptr<HeapsFolderData>> records;
    records.reserve(m_arrFoldersData.size());
    for (const auto& [path, record] : m_arrFoldersData) records.push_back(record);
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) {
        return a->getAllDuplicatesSize() > b->getAllDuplicatesSize();
    });

    Heaps result;
    std::uint64_t threshold = 0;
    for (const auto& record : records) {
        // The records come largest first and the threshold only grows: no
        // later folder can hold a pair big enough.
        if (record->getAllDuplicatesSize() <= threshold) break;
        bool appended = false;
        {
            // The pair group lives only for this folder, to bound memory.
            const auto group = buildHeapsGroupForFolderWithPath(record->getFolderPath());
            if (!group) continue;
            for (const auto key : group->getAllSubHeapsKeys()) {
                auto heap = group->getHeapForKey(key);
                if (!heap || heap->getHeapHalfSize() < threshold) continue;
                const bool known = std::any_of(result.begin(), result.end(),
                                               [&](const auto& other) { return other->sameAs(*heap); });
                if (known) continue;
                result.push_back(std::move(heap));
                appended = true;
            }
        }
        if (appended && result.size() > maxCount) {
            sortByHalfSize(result);
            threshold = result[maxCount - 1]->getHeapHalfSize();
            while (result.back()->getHeapHalfSize() < threshold) result.pop_back();
        }
    }
    sortByHalfSize(result);
    return result;
}

DuplicatesHeaps::Heaps DuplicatesHeaps::biggestEasyForRemoveHeaps(std::size_t maxCount) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // Folders with a single similar folder, keyed by the main folder's ID.
    std::map<std::uint64_t, std::shared_ptr<DuplicatesHeap>> stored;
    for (const auto& [path, record] : getAllFoldersData()) {
        const auto group = buildHeapsGroupForFolderWithPath(std::string(path));
        if (!group || group->getCountOfHeapsInGroup() != 1) continue;
        auto heap = group->getHeapForKey(group->getAllSubHeapsKeys().front());
        if (!heap) continue;
        const auto reverse = stored.find(heap->getSecondHeapsFolderData()->getID());
        if (reverse != stored.end() && reverse->second->sameAs(*heap)) continue;
        stored[heap->getMainHeapsFolderData()->getID()] = std::move(heap);
    }
    if (stored.empty()) return biggestHeaps(maxCount);

    Heaps result;
    result.reserve(stored.size());
    for (auto& [id, heap] : stored) result.push_back(std::move(heap));
    sortByHalfSize(result);
    if (result.size() > maxCount) result.resize(maxCount);
    return result;
}

}  // namespace kestrane
