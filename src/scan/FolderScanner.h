#pragma once

#include "scan/FolderScanWorkerFilesCollector.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class ExcludeTreeCheckerByRootNode;
class FileSystemItem;
class FolderScanner;
class FolderScanTask;
struct FolderScanContext;
class ObjectWorkersController;
class VolumeSystemItem;

class FolderScannerListener {
public:
    virtual ~FolderScannerListener() = default;
    // New file items, on a worker's queue while the scan runs and on the
    // controller's queue at the end (never the main thread; possibly from
    // several workers at once). The list may be empty.
    virtual void onScannerFoundFiles(FolderScanner& scanner, std::vector<FileSystemItem*> files) = 0;
    // Once, on the main thread, after the last onScannerFoundFiles; the root
    // is null when no root could be made.
    virtual void onScannerCompletedScanItem(FolderScanner& scanner, std::shared_ptr<VolumeSystemItem> root) = 0;
};

// Reads one folder tree from disk into items with a pool of 4 workers. The
// scan starts as soon as the scanner is made; it runs once.
class FolderScanner final : public FolderScanWorkerFilesCollectorDelegate,
                            public std::enable_shared_from_this<FolderScanner> {
public:
    static constexpr std::size_t kCountOfWorkers = 4;

    // A path of nullopt (or empty) makes no root: completion comes with none.
    // Without an exclusion checker nothing is excluded. The context, shared by
    // the scans of one whole search, receives what is left out and the names
    // of files with several; without one, nothing is noted.
    static std::shared_ptr<FolderScanner> create(std::optional<std::string> path,
                                                 std::shared_ptr<const ExcludeTreeCheckerByRootNode> excludeChecker,
                                                 std::weak_ptr<FolderScannerListener> listener,
                                                 std::shared_ptr<const FolderScanContext> context = nullptr);
    ~FolderScanner() override;

    void cancel();
    bool isCompleted() const { return _isCompleted; }
    // The root being built (null without a path). Read it only after completion.
    const std::shared_ptr<VolumeSystemItem>& rootItem() const { return _root; }

    // Folders the workers handed to the pool to share out (any thread; final
    // after completion): 0 when every folder was read by the worker that found it.
    std::uint64_t sharedFolderCount() const;

    void onFilesCollectorCreated(const std::shared_ptr<FolderScanWorkerFilesCollector>& collector) override;
    void onFilesCollectorCollectFiles(FolderScanWorkerFilesCollector& collector,
                                      std::vector<FileSystemItem*> files) override;

private:
    struct Private {};

public:
    FolderScanner(Private, std::weak_ptr<FolderScannerListener> listener);

private:
    void start(std::optional<std::string> path, std::shared_ptr<const ExcludeTreeCheckerByRootNode> excludeChecker,
               std::shared_ptr<const FolderScanContext> context);
    std::unique_ptr<FolderScanTask> generateTaskForFolderPath(const std::string& path,
                                                              const ExcludeTreeCheckerByRootNode* excludeChecker);
    void onObjectWorkersControllerFinishTasks(ObjectWorkersController& controller);
    void reportCompletion();

    std::weak_ptr<FolderScannerListener> _listener;
    std::shared_ptr<ObjectWorkersController> _workersController;
    std::shared_ptr<VolumeSystemItem> _root;
    // Touched only on the controller's queue.
    std::vector<std::shared_ptr<FolderScanWorkerFilesCollector>> _filesCollectors;
    std::atomic<bool> _isCompleted{false};
};

}  // namespace kestrane
