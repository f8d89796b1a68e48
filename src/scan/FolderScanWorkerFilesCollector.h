#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace kestrane {

class FileSystemItem;
class FolderScanWorkerFilesCollector;

class FolderScanWorkerFilesCollectorDelegate {
public:
    virtual ~FolderScanWorkerFilesCollectorDelegate() = default;
    // A worker's collector exists (called on the pool's controller queue).
    virtual void onFilesCollectorCreated(const std::shared_ptr<FolderScanWorkerFilesCollector>& collector) = 0;
    // A batch of file items (called on the queue that delivers).
    virtual void onFilesCollectorCollectFiles(FolderScanWorkerFilesCollector& collector,
                                              std::vector<FileSystemItem*> files) = 0;
};

// Gathers the file items one worker finds and hands them on in batches of at
// least 300, so that the listener is not called per file. Used by one queue
// at a time: its worker's while the scan runs, the controller's at the end.
class FolderScanWorkerFilesCollector {
public:
    static constexpr std::size_t kMinCountForUpdate = 300;

    explicit FolderScanWorkerFilesCollector(std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> delegate);

    void addFile(FileSystemItem* file) { _content.push_back(file); }
    // Hands the pending items to the delegate when there are at least 300, or
    // always when forced (even an empty list).
    void updateForced(bool forced);
    std::size_t pendingCount() const { return _content.size(); }

private:
    std::vector<FileSystemItem*> _content;
    std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> _delegate;
};

}  // namespace kestrane
