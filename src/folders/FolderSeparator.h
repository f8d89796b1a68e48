#pragma once

#include "duplicates/FileSeparator.h"
#include "platform/QueueChecker.h"
#include "platform/SerialQueue.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kestrane {

namespace platform {
class Clock;
class SerialQueue;
}

class FolderDuplicatesInfo;
class FolderSeparator;
class FolderSystemItem;

// Sets of identical folders; empty when there are none.
using FolderSets = std::vector<std::vector<FolderSystemItem*>>;
// The summaries of the folders under comparison, by folder.
using FolderDuplicatesInfos = std::unordered_map<FolderSystemItem*, std::shared_ptr<FolderDuplicatesInfo>>;

// Told by a folder separator what it found; called on FolderSeparator::workingQueue().
class FolderSeparatorDelegate {
public:
    virtual ~FolderSeparatorDelegate() = default;
    // The number of folders the separator has finished with so far.
    virtual void onProcessedItemsCount(std::uint64_t count, FolderSeparator& separator) = 0;
    // Items found identical on the way (children compared to tell the folders
    // apart): a map from a key to a set of identical files or folders. Sets
    // of one item may be among them.
    virtual void processIndermediateItemsWithSameHash(const FileSeparatorMap& items) = 0;
    // Once per separation: the sets of identical folders (empty for none, and
    // always empty after stop()).
    virtual void onFinishSeparateFolderItemsSeparator(const FolderSets& result, FolderSeparator& separator) = 0;
};

// Splits a list of folders (of equal size and equal number of descendants)
// into sets of identical folders.
//
// Folders are compared through the summaries of their direct children
// (FolderDuplicatesInfo). As long as all summaries are equal, the children
// not compared yet are compared batch by batch, one logical size at a time:
// files through a FileSeparator, subfolders through a child FolderSeparator
// (recursively); after each batch the summaries are brought up to date. When
// they differ, the list is split into sub-groups of equal summaries, each
// separated by a sub-separator, and their results are collected. Folders that
// outlast every batch are identical; every folder is marked checked for
// duplicates when its separator is done with it.
//
// Every step runs on the one serial workingQueue() shared by all folder
// separators; results go to the delegate (held weakly) by tasks posted there.
// A separator runs once; the work it has queued keeps it alive, and a parent
// keeps its children. Files are keyed as the options given to create() say;
// every separator it starts gets the same options.
class FolderSeparator final : public FileSeparatorListener,
                              public FolderSeparatorDelegate,
                              public std::enable_shared_from_this<FolderSeparator> {
public:
    static std::shared_ptr<FolderSeparator> create(SeparationOptions options);
    ~FolderSeparator() override;

    FolderSeparator(const FolderSeparator&) = delete;
    FolderSeparator& operator=(const FolderSeparator&) = delete;

    // The serial queue "folderseparator.working", made on first use.
    static platform::SerialQueue& workingQueue();

    // What keeps the folders alive (the result container holding the
    // scanned trees): held until this separator is gone, and handed to every
    // separator it starts, so that work still queued after a stop never
    // meets a freed tree. Set before separating.
    void setItemsOwner(std::shared_ptr<const void> owner) { m_pItemsOwner = std::move(owner); }
    // Starts separating the folders and returns at once (any thread).
    void separateItemsWithDelegate(std::vector<FolderSystemItem*> folders,
                                   std::weak_ptr<FolderSeparatorDelegate> delegate);
    // On the working queue: separates the folders using summaries already
    // made (shared with the caller; a folder without one gets a new one).
    // A folder listed twice counts once.
    void separateFoldersInfosForItemsWithDelegate(FolderDuplicatesInfos infos, std::vector<FolderSystemItem*> folders,
                                                  std::weak_ptr<FolderSeparatorDelegate> delegate);
    // Any thread: cancels this separator and everything it started. The
    // folders are marked checked, and the delegate is still told, with no result.
    void stop();
    bool isCanceled() const { return m_bIsCanceled.load(); }

    // FileSeparatorListener
    void onFinishSeparateItemsByHash(FileSeparator& separator, FileSeparatorMap result) override;

    // FolderSeparatorDelegate (from a child separator)
    void onProcessedItemsCount(std::uint64_t count, FolderSeparator& separator) override;
    void processIndermediateItemsWithSameHash(const FileSeparatorMap& items) override;
    void onFinishSeparateFolderItemsSeparator(const FolderSets& result, FolderSeparator& separator) override;

private:
    struct Private {};

public:
    FolderSeparator(Private, SeparationOptions options);

private:
    // A separator started by this one, sharing its items' owner and options.
    std::shared_ptr<FolderSeparator> createChild() const;
    void continueFolderSeparation();
    void splitFoldersAt(std::size_t splitIndex);
    void sortChildrenBySize();
    void separateNextFileBatch();
    void separateNextFolderBatch();
    void processHashedItems(const FileSeparatorMap& items,
                                                         const std::vector<FileSystemItem*>& allItems);
    void finishAsOnlyOneLeft();
    void finishAsFoldersAreDuplicates();
    void reportResult(FolderSets result);
    void reportProgress();
    void foldCurrentIntoTotal();

    const SeparationOptions m_options;
    std::vector<FolderSystemItem*> m_arrFoldersItems;
    FolderDuplicatesInfos m_arrFoldersInfos;
    std::shared_ptr<const void> m_pItemsOwner;  // keeps the folders alive
    std::weak_ptr<FolderSeparatorDelegate> m_pDelegate;

    // Not-yet-compared direct children by logical size, built once.
    bool m_bChildrenSorted = false;
    std::map<std::uint64_t, std::vector<FileSystemItem*>> m_arrFileItemsGroupedBySize;
    std::map<std::uint64_t, std::vector<FileSystemItem*>> m_arrFolderItemsGroupedBySize;

    std::vector<FileSystemItem*> m_arrFilesThatWasSeparated;
    std::shared_ptr<FileSeparator> m_pFileSeparator;
    std::vector<FileSystemItem*> m_arrFoldersThatWasSeparated;
    std::shared_ptr<FolderSeparator> m_pFolderSeparator;

    std::vector<std::shared_ptr<FolderSeparator>> m_arrSubSeparators;
    FolderSets m_arrSubSeparatorsResult;

    std::uint64_t m_nTotalProcessedItems = 0;
    std::uint64_t m_nCurrentProcessedItemsInFolders = 0;
    // The last count each running child reported; the current count is their sum.
    std::unordered_map<const FolderSeparator*, std::uint64_t> m_arrChildCounts;

    bool m_bIsFinished = false;
    std::atomic<bool> m_bIsCanceled{false};
    platform::QueueChecker m_queueChecker{workingQueue()};
};

}  // namespace kestrane
