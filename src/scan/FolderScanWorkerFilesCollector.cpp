#include "scan/FolderScanWorkerFilesCollector.h"

#include <utility>

namespace kestrane {

FolderScanWorkerFilesCollector::FolderScanWorkerFilesCollector(
    std::weak_ptr<FolderScanWorkerFilesCollectorDelegate> delegate)
    : _delegate(std::move(delegate)) {
    _content.reserve(kMinCountForUpdate);
}

void FolderScanWorkerFilesCollector::updateForced(bool forced) {
    if (!forced && _content.size() < kMinCountForUpdate) return;
    std::vector<FileSystemItem*> batch = std::exchange(_content, {});
    _content.reserve(kMinCountForUpdate);
    if (auto delegate = _delegate.lock()) delegate->onFilesCollectorCollectFiles(*this, std::move(batch));
}

}  // namespace kestrane
