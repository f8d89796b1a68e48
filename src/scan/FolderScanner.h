#pragma once

#include "platform/QueueChecker.h"
#include "scan/FolderScanWorker2.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

namespace platform {
class SerialQueue;
}

class ExcludeTreeCheckerByRootNode;
class FileSystemItem;
class FolderScanner;
struct FolderScanContext;
class VolumeSystemItem;

class FolderScannerListener {
public:
    virtual ~FolderScannerListener() = default;
    // New file items (at least one), on a worker's queue, possibly from several
    // workers at once; never on the main thread.
    virtual void onScannerFoundFiles(FolderScanner& scanner, std::vector<FileSystemItem*> files) = 0;
    // Once, on the main thread, after the last onScannerFoundFiles; the root
    // is null when no root could be made.
    virtual void onScannerCompletedScanItem(FolderScanner& scanner, std::shared_ptr<VolumeSystemItem> root) = 0;
};

// Reads one folder tree from disk into items with a pool of 4 workers, each
// a FolderScanWorker2 on a serial queue of its own, under a controller queue
// that keeps the folders waiting to be read (the last one added is read
// first) and hands them to idle workers. The scan starts as soon as the
// scanner is made; it runs once. Its queued work keeps the scanner, and with
// it the tree, alive until it is done.
class FolderScanner final : public std::enable_shared_from_this<FolderScanner> {
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
    ~FolderScanner();

    // Any thread: no further folder is handed out, the workers stop at their
    // next check, and completion follows once every worker has stopped.
    void cancel() { m_canceled.store(true, std::memory_order_relaxed); }
    bool isCompleted() const { return m_completed.load(); }

    // Folders the workers handed to the pool to share out (any thread; final
    // after completion): 0 when every folder was read by the worker that found it.
    std::uint64_t sharedFolderCount() const { return m_sharedFolderCount.load(std::memory_order_relaxed); }

private:
    struct Private {};

public:
    FolderScanner(Private, std::weak_ptr<FolderScannerListener> listener,
                  std::shared_ptr<const FolderScanContext> context);

private:
    struct Worker {
        std::shared_ptr<platform::SerialQueue> queue;
        std::unique_ptr<FolderScanWorker2> reader;
    };

    // On the controller's queue.
    void addTasks(std::vector<FolderScanTask> tasks);
    void onWorkerDone(std::size_t worker, std::vector<FolderScanTask> left);
    void completeWhenDone();
    // On a worker's queue.
    void runTask(std::size_t worker, FolderScanTask task);
    void reportCompletion();

    std::weak_ptr<FolderScannerListener> m_listener;
    std::shared_ptr<VolumeSystemItem> m_root;
    std::shared_ptr<const ExcludeTreeCheckerByRootNode> m_excludeTree;
    std::atomic<bool> m_canceled{false};
    std::atomic<bool> m_completed{false};
    std::atomic<std::uint64_t> m_sharedFolderCount{0};
    const std::shared_ptr<platform::SerialQueue> m_queue;  // the controller's
    platform::QueueChecker m_queueChecker;
    std::vector<Worker> m_workers;
    // Touched only on the controller's queue.
    std::vector<FolderScanTask> m_tasks;
    std::vector<std::size_t> m_idleWorkers;
    bool m_finished = false;
};

}  // namespace kestrane
