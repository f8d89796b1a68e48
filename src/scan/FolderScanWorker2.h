#pragma once

#include "platform/DirectoryReader.h"
#include "scan/FolderScanContext.h"
#include "scan/ObjectWorkerCore.h"

#include <memory>
#include <vector>

namespace kestrane {

class FolderScanTask;
class FolderScanWorkerFilesCollector;

// The folder-scan core of one pool worker. A task is one folder. The
// sub-folders of a folder that held fewer than 33 entries stay on this
// worker's own stack and are read depth first; those of a larger folder go to
// the pool, to be shared between the workers. The count is what the read of
// the folder returned: Linux tells no entry count before a folder is read
// (the link count counts only sub-folders, and is 1 on btrfs).
// Every entry becomes an item at once; file items also go to the worker's
// files collector, which passes them on in batches. With a scan context, what
// is left out (unreadable folders, mounts, excluded and hidden folders) is
// noted there, and so are the names of files that have several.
class FolderScanWorker2 final : public ObjectWorkerCore {
public:
    // The sub-folders of a folder with fewer entries than this stay with the
    // worker that read it.
    static constexpr std::uint32_t kMinEntriesForPool = 33;

    // treeOwner (may be null) keeps the items the worker adds to alive while it works.
    explicit FolderScanWorker2(std::shared_ptr<FolderScanWorkerFilesCollector> filesCollector,
                               std::shared_ptr<const FolderScanContext> context = nullptr,
                               std::shared_ptr<const void> treeOwner = nullptr);
    ~FolderScanWorker2() override;

    void processTaskWithSubtaskCreatorAndCompletion(std::unique_ptr<ObjectTask> task, SubtaskCreator subtaskCreator,
                                                    Completion completion) override;

private:
    void scanFolder(FolderScanTask& task, const SubtaskCreator& subtaskCreator);
    void processEntry(FolderScanTask& task, const platform::DirectoryEntry& entry);
    void noteProblem(const FolderScanTask& task, std::string_view name, ScanProblemKind kind, int error = 0);
    bool isChosenFolder(const platform::DirectoryEntry& entry) const;

    std::shared_ptr<FolderScanWorkerFilesCollector> _filesCollector;
    std::shared_ptr<const FolderScanContext> _context;
    std::shared_ptr<const void> _treeOwner;
    // Names of files with several, handed to the context a batch at a time.
    std::vector<HardLinkNames::Name> _hardLinkNames;
    std::vector<std::unique_ptr<FolderScanTask>> _stackCollection;
    // The sub-folders found in the folder being read, placed once it is read.
    std::vector<std::unique_ptr<FolderScanTask>> _foundFolders;
    // Holds the 25,600-byte read buffer, made once with the worker.
    platform::DirectoryReader _reader;
};

}  // namespace kestrane
