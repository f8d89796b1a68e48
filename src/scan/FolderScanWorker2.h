#pragma once

#include "platform/DirectoryReader.h"
#include "scan/FolderScanContext.h"
#include "scan/ObjectWorkerCore.h"

#include <memory>
#include <vector>

namespace kestrane {

class FolderScanTask;
class FolderScanWorkerFilesCollector;

// The folder-scan core of one pool worker. A task is one folder; small
// sub-folders (fewer than 33 entries) found while reading it stay on this
// worker's own stack and are read depth first, larger ones go to the pool.
// Every entry becomes an item at once; file items also go to the worker's
// files collector, which passes them on in batches. With a scan context, what
// is left out (unreadable folders, mounts, excluded and hidden folders) is
// noted there, and so are the names of files that have several.
class FolderScanWorker2 final : public ObjectWorkerCore {
public:
    // Folders with fewer entries than this stay with the worker that found them.
    static constexpr std::uint32_t kMinEntriesForPool = 33;

    // treeOwner (may be null) keeps the items the worker adds to alive while it works.
    explicit FolderScanWorker2(std::shared_ptr<FolderScanWorkerFilesCollector> filesCollector,
                               std::shared_ptr<const FolderScanContext> context = nullptr,
                               std::shared_ptr<const void> treeOwner = nullptr);
    ~FolderScanWorker2() override;

    void processTaskWithSubtaskCreatorAndCompletion(std::unique_ptr<ObjectTask> task, SubtaskCreator subtaskCreator,
                                                    Completion completion) override;

    // The number of entries a directory entry is taken to hold when the 33
    // rule is applied (see the note in the .cpp).
    static std::uint32_t entryCountForPoolRule(const platform::DirectoryEntry& entry);

private:
    void scanFolder(FolderScanTask& task, const SubtaskCreator& subtaskCreator);
    void processEntry(FolderScanTask& task, const platform::DirectoryEntry& entry,
                      const SubtaskCreator& subtaskCreator);
    void noteProblem(const FolderScanTask& task, std::string_view name, ScanProblemKind kind, int error = 0);
    bool isChosenFolder(const platform::DirectoryEntry& entry) const;

    std::shared_ptr<FolderScanWorkerFilesCollector> _filesCollector;
    std::shared_ptr<const FolderScanContext> _context;
    std::shared_ptr<const void> _treeOwner;
    // Names of files with several, handed to the context a batch at a time.
    std::vector<HardLinkNames::Name> _hardLinkNames;
    std::vector<std::unique_ptr<FolderScanTask>> _stackCollection;
    // Holds the 25,600-byte read buffer, made once with the worker.
    platform::DirectoryReader _reader;
};

}  // namespace kestrane
