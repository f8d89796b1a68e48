#pragma once

#include "platform/DirectoryReader.h"
#include "platform/QueueChecker.h"
#include "scan/ExcludeTreeChecker.h"
#include "scan/FolderScanContext.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

class FileSystemItem;
class FolderSystemItem;

// One folder to read: its path, the item that receives its entries, and the
// exclusion checker of the folder.
struct FolderScanTask {
    std::string path;
    FolderSystemItem* item = nullptr;
    ExcludeTreeChecker excludeChecker;
};

// The reader of one worker of a FolderScanner, used on that worker's queue.
// A task is one folder, read with its sub-folders depth first: the
// sub-folders of a folder that held fewer than 33 entries stay with this
// reader; those of a larger folder are shared with the pool. The count is
// what the read of the folder returned: Linux tells no entry count before a
// folder is read (the link count counts only sub-folders, and is 1 on btrfs).
// Every entry becomes an item at once; file items are handed on in batches
// of at least 300. With a scan context, what is left out (unreadable
// folders, mounts, excluded and hidden folders) is noted there, and so are
// the names of files that have several.
class FolderScanWorker2 {
public:
    // The sub-folders of a folder with fewer entries than this stay with the
    // reader that read it.
    static constexpr std::uint32_t kMinEntriesForPool = 33;
    // Folders to share are handed over this many at a time while a task runs.
    static constexpr std::size_t kSharedFoldersBunch = 100;
    // File items are handed on once this many are pending.
    static constexpr std::size_t kMinFilesForDelivery = 300;

    using ShareFolders = std::function<void(std::vector<FolderScanTask>)>;
    using DeliverFiles = std::function<void(std::vector<FileSystemItem*>)>;

    // The reader stops at its next check once `canceled` is set: before each
    // folder and after each bulk read, leaving a folder with the entries read so far.
    FolderScanWorker2(const platform::DispatchQueue& queue, std::shared_ptr<const FolderScanContext> context,
                      const std::atomic<bool>& canceled, DeliverFiles deliverFiles);

    FolderScanWorker2(const FolderScanWorker2&) = delete;
    FolderScanWorker2& operator=(const FolderScanWorker2&) = delete;

    // Reads the task's folder and the sub-folders it keeps. Folders to share
    // go to `share` a bunch at a time; those not handed over yet are returned.
    std::vector<FolderScanTask> read(FolderScanTask task, const ShareFolders& share);
    // Hands on the file items still pending (nothing when there are none).
    void deliverFiles();

private:
    void readFolder(FolderScanTask& task, const ShareFolders& share);
    void processEntry(FolderScanTask& task, const platform::DirectoryEntry& entry);
    void noteProblem(const FolderScanTask& task, std::string_view name, ScanProblemKind kind, int error = 0);
    bool isChosenFolder(const platform::DirectoryEntry& entry) const;

    platform::QueueChecker m_queueChecker;
    std::shared_ptr<const FolderScanContext> m_context;
    const std::atomic<bool>& m_canceled;
    DeliverFiles m_deliverFiles;
    std::vector<FolderScanTask> m_stack;   // the folders this reader keeps, last in first out
    std::vector<FolderScanTask> m_found;   // the sub-folders of the folder being read
    std::vector<FolderScanTask> m_shared;  // folders to share, not handed over yet
    std::vector<FileSystemItem*> m_files;  // file items not handed on yet
    // Names of files with several, handed to the context a batch at a time.
    std::vector<HardLinkNames::Name> m_hardLinkNames;
    // Holds the 25,600-byte read buffer, made once with the reader.
    platform::DirectoryReader m_reader;
};

}  // namespace kestrane
