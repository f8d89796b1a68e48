#include "scan/FolderScanner.h"

#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "platform/VolumeInfo.h"
#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/FolderScanTask.h"
#include "scan/ObjectWorkersController.h"
#include "scan/ScannerFactory.h"
#include "scan/VolumeSystemItem.h"

namespace kestrane {

std::shared_ptr<FolderScanner> FolderScanner::create(
    std::optional<std::string> path, std::shared_ptr<const ExcludeTreeCheckerByRootNode> excludeChecker,
    std::weak_ptr<FolderScannerListener> listener, std::shared_ptr<const FolderScanContext> context) {
    auto scanner = std::make_shared<FolderScanner>(Private{}, std::move(listener));
    scanner->start(std::move(path), std::move(excludeChecker), std::move(context));
    return scanner;
}

FolderScanner::FolderScanner(Private, std::weak_ptr<FolderScannerListener> listener)
    : _listener(std::move(listener)) {}

FolderScanner::~FolderScanner() = default;

std::unique_ptr<FolderScanTask> FolderScanner::generateTaskForFolderPath(
    const std::string& path, const ExcludeTreeCheckerByRootNode* excludeChecker) {
    const auto capacity = platform::volumeInfoProvider().capacityForPath(path);
    _root = VolumeSystemItem::create(path, capacity ? capacity->capacity : 0, capacity ? capacity->freeSpace : 0);
    std::shared_ptr<const ExcludeTreeChecker> checker;
    if (excludeChecker) checker = excludeChecker->subCheckerByURL(path);
    return std::make_unique<FolderScanTask>(path, _root.get(), std::move(checker));
}

void FolderScanner::start(std::optional<std::string> path,
                          std::shared_ptr<const ExcludeTreeCheckerByRootNode> excludeChecker,
                          std::shared_ptr<const FolderScanContext> context) {
    if (!path || path->empty()) {
        reportCompletion();
        return;
    }
    ObjectWorker::Tasks tasks;
    tasks.push_back(generateTaskForFolderPath(*path, excludeChecker.get()));
    std::weak_ptr<FolderScanner> weakSelf = weak_from_this();
    _workersController = ObjectWorkersController::create(
        "FolderScanner", std::make_shared<ScannerFactory>(weakSelf, std::move(context), _root), kCountOfWorkers, std::move(tasks),
        [weakSelf](ObjectWorkersController& controller) {
            if (auto self = weakSelf.lock()) self->onObjectWorkersControllerFinishTasks(controller);
        });
}

void FolderScanner::cancel() {
    if (_workersController) _workersController->cancel();
}

void FolderScanner::onFilesCollectorCreated(const std::shared_ptr<FolderScanWorkerFilesCollector>& collector) {
    // Collectors are made while the pool starts, on its controller queue.
    _filesCollectors.push_back(collector);
}

void FolderScanner::onFilesCollectorCollectFiles(FolderScanWorkerFilesCollector&, std::vector<FileSystemItem*> files) {
    if (auto listener = _listener.lock()) listener->onScannerFoundFiles(*this, std::move(files));
}

void FolderScanner::onObjectWorkersControllerFinishTasks(ObjectWorkersController& controller) {
    // The completion is bound to this scanner's own pool when the pool is made
    // (it may run before create() has even returned), so only the flag guards it.
    if (_isCompleted.exchange(true)) return;
    // After a cancel a worker may still be in the middle of a folder: let every
    // worker leave its task before the collectors and the sizes are touched.
    controller.waitForWorkersToLeaveTheirTasks();
    for (auto& collector : _filesCollectors) collector->updateForced(true);
    if (_root) _root->calctotalsize();
    reportCompletion();
}

void FolderScanner::reportCompletion() {
    _isCompleted = true;
    platform::MainQueue::shared().async([self = shared_from_this()] {
        if (auto listener = self->_listener.lock()) listener->onScannerCompletedScanItem(*self, self->_root);
    });
}

std::uint64_t FolderScanner::sharedFolderCount() const {
    return _workersController ? _workersController->sharedTaskCount() : 0;
}

}  // namespace kestrane
