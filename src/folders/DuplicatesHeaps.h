#pragma once

#include "duplicates/HeapsCollection.h"
#include "duplicates/SeparatorMap.h"
#include "platform/QueueChecker.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrane {

namespace platform {
class Clock;
}

class DuplicateItem;
class DuplicatesContainer;
class DuplicatesGroup;
class FileSystemItem;
class FolderSystemItem;
class HeapsFolderData;
class HeapsGroup;

// The participating copies of one group, for the progress bar of the similar folders.
struct HeapsProgressGroup {
    std::shared_ptr<DuplicatesGroup> group;
    std::vector<std::shared_ptr<DuplicateItem>> items;
};

// The similar-folder registry of one duplicates container.
//
// Fed incrementally while groups are made (addGroup / removeGroup, from the
// container), and recomputed in full by validateEmptyDataAfterRemoveWithListener
// at the end of a scan and after every removal: folder records that share at
// least two groups with another record form heaps (DuplicatesHeap), collected
// per main folder (HeapsGroup). Records that only have heaps with duplicate
// folders are set aside (hidden) and looked at again by every computation.
//
// Owned by the container; refers to it only weakly (taken from the first
// group it is given). Used from one queue at a time, as its container is:
// handed from stage to stage during a scan, then attached to the main queue
// with the container. getPossibleHeapsSize may be read from any thread.
class DuplicatesHeaps final : public HeapsCollection {
    struct Key {
        explicit Key() = default;
    };

public:
    // Reports of the size found so far closer together than this are dropped.
    static constexpr std::chrono::milliseconds kNotificationInterval{500};
    // The similar-folder pairs a computation keeps at most (about 32 bytes
    // each): folders that are all alike make a pair of every two of them.
    static constexpr std::uint64_t kDefaultMaximalPairCount = 1'000'000;

    static std::shared_ptr<DuplicatesHeaps> create();
    explicit DuplicatesHeaps(Key);
    // The clock that spaces the reports (the real one unless set here, before use).
    void setClock(std::shared_ptr<const platform::Clock> clock) { m_clock = std::move(clock); }
    ~DuplicatesHeaps() override;
    DuplicatesHeaps(const DuplicatesHeaps&) = delete;
    DuplicatesHeaps& operator=(const DuplicatesHeaps&) = delete;

    // HeapsCollection
    void attachToQueue(const platform::DispatchQueue& queue) override;
    // Registers the group with the folders of its copies; the possible size
    // grows by each copy whose folder then has copies of two or more groups.
    void addGroup(const std::shared_ptr<DuplicatesGroup>& group) override;
    // Takes the group's copies out of the records of their folders.
    void removeGroup(const std::shared_ptr<DuplicatesGroup>& group) override;
    // The full computation (see the .cpp); reports go to the listener on the
    // main queue, throttled; cancellation is asked before each folder.
    void validateEmptyDataAfterRemoveWithListener(
        const std::shared_ptr<HeapsValidateProgressListener>& listener) override;
    // The larger of the running estimate and the last computed total.
    std::uint64_t getPossibleHeapsSize() const override;
    // The rankings of the last computation. Building a folder's pair group
    // fills caches of its records: they run on the registry's queue.
    Heaps biggestHeaps(std::size_t maxCount) const override;
    Heaps biggestEasyForRemoveHeaps(std::size_t maxCount) const override;

    // The heaps of the record from the last computation, or null.
    std::shared_ptr<HeapsGroup> getHeapsGroupForFolderData(const HeapsFolderData& folderData) const;
    // A fresh group of heaps of the folder's record (shown or hidden) with
    // every other record; null when the folder has no record.
    std::shared_ptr<HeapsGroup> buildHeapsGroupForFolderWithPath(const std::string& path) const override;
    // Records by folder path. A key is a view of its record's own folder path
    // (fixed for the record's life, and the record lives at least as long as
    // its entry): one copy of each path instead of two.
    using FoldersDataMap = std::map<std::string_view, std::shared_ptr<HeapsFolderData>, std::less<>>;

    // The shown records, by folder path.
    const FoldersDataMap& getAllFoldersData() const { return m_arrFoldersData; }
    // The records set aside because they only have heaps with duplicate folders.
    const FoldersDataMap& getHiddenFoldersData() const { return m_arrHiddenFoldersData; }
    // Every kept pair of shown folders once, largest first; pairs of one size
    // in the order of their first folder among the shown ones (most
    // duplicates first, then by path), then by the second record's ID. The
    // first folder of a pair is the main one. Nothing is copied: the pairs
    // come from the groups of heaps as they are.
    void forEachPairLargestFirst(const PairVisitor& visit) const override;
    // From the next computation on, keep at most this many pairs (both kinds).
    void setMaximalPairCount(std::uint64_t count) { m_nMaximalPairCount = count; }
    std::uint64_t getMaximalPairCount() const override { return m_nMaximalPairCount; }
    // Of the last computation: the pairs of folders not in duplicate folders
    // that were kept, and those found beyond the maximal count and left out.
    std::uint64_t getCountOfPairs() const override { return m_nKeptPairs; }
    std::uint64_t getCountOfLeftOutPairs() const override { return m_nFoundPairs - m_nKeptPairs; }
    // The records of the folders holding copies of the group.
    std::vector<std::shared_ptr<HeapsFolderData>> getAllFoldersOfGroup(const DuplicatesGroup& group) const;
    // Refreshes the records of the folders at these paths.
    void updateDataOfFolders(const std::vector<std::string>& paths);
    // Refreshes every record and rebuilds each stored group of heaps from its own heaps.
    void recalculateHeapsInfo();

    // Every copy that takes part in a heap of its own folder and is not
    // inside a duplicate folder counts once. Recomputed when stale.
    std::uint64_t getTotalHeapsSize();
    bool isEmpty() { return getTotalHeapsSize() == 0; }
    // The copies counted by getTotalHeapsSize, by group (ascending group ID).
    std::vector<HeapsProgressGroup> buildProgressData() const;

    // The not yet checked direct children of every record with heaps, for
    // hashing: files keyed by size and extension, folders by size and number
    // of items below. Children already in the container's small-duplicates
    // category join the keys of new children (and are marked not checked,
    // folders with everything below); the category is emptied and those of
    // its groups that were not handed back for hashing return as regular
    // groups. isContainerChanged tells whether the category held any group.
    void collectSmallItemsToCompare(
        SeparatorMap<FileSystemItem>& files, SeparatorMap<FolderSystemItem>& folders,
        const std::shared_ptr<DuplicatesContainer>& container, bool withHiddenFolders, bool& isContainerChanged);

    // Sends the size and progress to the listener on the main queue, unless
    // the previous report went less than kNotificationInterval ago and this
    // one is not forced. Returns whether it was sent.
    bool notifyHeapsSizeChangedWithProgress(const std::shared_ptr<HeapsValidateProgressListener>& listener,
                                            std::uint64_t size, float progress, bool forced);

private:
    using RecordLookup = std::function<std::shared_ptr<HeapsFolderData>(std::string_view path)>;

    std::shared_ptr<HeapsFolderData> findRecord(std::string_view path) const;
    // Tries a heap between the record and every record holding a copy of a
    // group of the record's intersection set.
    void generateHeapsGroup(HeapsGroup& group, const RecordLookup& lookup) const;
    // Drops the groups that left their categories from the record's
    // intersection set; returns how many live groups remain.
    std::size_t pruneIntersection(std::uint64_t folderID);
    void addCheckedFolders(const std::shared_ptr<HeapsValidateProgressListener>& listener, std::uint64_t count,
                           bool flush);

    FoldersDataMap m_arrFoldersData;
    FoldersDataMap m_arrHiddenFoldersData;
    // Folder record ID -> the groups (by ID) that had a copy directly in that folder.
    std::unordered_map<std::uint64_t, std::map<std::uint64_t, std::weak_ptr<DuplicatesGroup>>> m_arrFoldersIntersections;
    // Folder record ID -> its heaps, from the last computation.
    std::unordered_map<std::uint64_t, std::shared_ptr<HeapsGroup>> m_arrHeapsGroups;
    std::weak_ptr<DuplicatesContainer> m_pContainer;

    std::uint64_t m_nMaximalPairCount = kDefaultMaximalPairCount;
    std::uint64_t m_nFoundPairs = 0;
    std::uint64_t m_nKeptPairs = 0;
    std::atomic<std::uint64_t> m_nPossibleHeapsSize{0};
    std::atomic<std::uint64_t> m_nTotalHeapsSize{0};
    bool m_bNeedRecalculateTotalHeapsSize = true;
    std::shared_ptr<const platform::Clock> m_clock;
    std::optional<std::chrono::steady_clock::time_point> m_lastNotificationDate;
    std::uint64_t m_nPendingCheckedFolders = 0;
    std::optional<std::chrono::steady_clock::time_point> m_lastCheckedFoldersReportDate;
    platform::QueueChecker m_queueChecker;  // none during the scan
};

}  // namespace kestrane
