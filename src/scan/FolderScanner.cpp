#include "scan/FolderScanner.h"

#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "platform/VolumeInfo.h"
#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/VolumeSystemItem.h"

#include <utility>

namespace kestrane {

std::shared_ptr<FolderScanner> FolderScanner::create(
    std::optional<std::string> path, std::shared_ptr<const ExcludeTreeCheckerByRootNode> excludeChecker,
    std::weak_ptr<FolderScannerListener> listener, std::shared_ptr<const FolderScanContext> context) {
    auto scanner = std::make_shared<FolderScanner>(Private{}, std::move(listener), std::move(context));
    if (!path || path->empty()) {
        scanner->reportCompletion();
        return scanner;
    }
    const auto capacity = platform::volumeInfoProvider().capacityForPath(*path);
    scanner->m_root =
        VolumeSystemItem::create(*path, capacity ? capacity->capacity : 0, capacity ? capacity->freeSpace : 0);
    FolderScanTask root{*path, scanner->m_root.get(),
                        excludeChecker ? excludeChecker->subCheckerByURL(*path) : ExcludeTreeChecker()};
    // The checkers of the tasks point into the tree: it stays while the scanner does.
    scanner->m_excludeTree = std::move(excludeChecker);
    scanner->m_queue->async([self = scanner, root = std::move(root)]() mutable {
        std::vector<FolderScanTask> tasks;
        tasks.push_back(std::move(root));
        self->addTasks(std::move(tasks));
    });
    return scanner;
}

FolderScanner::FolderScanner(Private, std::weak_ptr<FolderScannerListener> listener,
                             std::shared_ptr<const FolderScanContext> context)
    : m_listener(std::move(listener)),
      m_queue(platform::SerialQueue::create("FolderScanner")),
      m_queueChecker(*m_queue) {
    for (std::size_t i = 0; i < kCountOfWorkers; ++i) {
        auto queue = platform::SerialQueue::create("FolderScanner::w" + std::to_string(i));
        // The workers live as long as the scanner, which every queued task holds.
        auto reader = std::make_unique<FolderScanWorker2>(*queue, context, m_canceled,
                                                          [this](std::vector<FileSystemItem*> files) {
                                                              if (auto listener = m_listener.lock())
                                                                  listener->onScannerFoundFiles(*this, std::move(files));
                                                          });
        m_workers.push_back({std::move(queue), std::move(reader)});
        m_idleWorkers.push_back(kCountOfWorkers - 1 - i);  // worker 0 is given the first folder
    }
}

FolderScanner::~FolderScanner() = default;

void FolderScanner::addTasks(std::vector<FolderScanTask> tasks) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    for (auto& task : tasks) m_tasks.push_back(std::move(task));
    while (!m_idleWorkers.empty() && !m_tasks.empty() && !m_canceled.load(std::memory_order_relaxed)) {
        const std::size_t worker = m_idleWorkers.back();
        m_idleWorkers.pop_back();
        m_workers[worker].queue->async([self = shared_from_this(), worker, task = std::move(m_tasks.back())]() mutable {
            self->runTask(worker, std::move(task));
        });
        m_tasks.pop_back();
    }
    completeWhenDone();
}

void FolderScanner::runTask(std::size_t worker, FolderScanTask task) {
    auto self = shared_from_this();
    auto share = [&self](std::vector<FolderScanTask> folders) {
        self->m_sharedFolderCount.fetch_add(folders.size(), std::memory_order_relaxed);
        self->m_queue->async([self, folders = std::move(folders)]() mutable { self->addTasks(std::move(folders)); });
    };
    auto left = m_workers[worker].reader->read(std::move(task), share);
    m_sharedFolderCount.fetch_add(left.size(), std::memory_order_relaxed);
    m_queue->async([self, worker, left = std::move(left)]() mutable { self->onWorkerDone(worker, std::move(left)); });
}

void FolderScanner::onWorkerDone(std::size_t worker, std::vector<FolderScanTask> left) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_idleWorkers.push_back(worker);
    addTasks(std::move(left));
}

void FolderScanner::completeWhenDone() {
    const bool idle = m_idleWorkers.size() == m_workers.size();
    if (m_finished || !idle || (!m_tasks.empty() && !m_canceled.load(std::memory_order_relaxed))) return;
    m_finished = true;
    m_tasks.clear();
    // Every worker is idle: what each still holds is handed on from its own
    // queue, and the tree, complete, gets its sizes.
    for (auto& worker : m_workers) worker.queue->sync([&] { worker.reader->deliverFiles(); });
    m_root->calculateTotalSize();
    reportCompletion();
}

void FolderScanner::reportCompletion() {
    m_completed = true;
    platform::MainQueue::shared().async([self = shared_from_this()] {
        if (auto listener = self->m_listener.lock()) listener->onScannerCompletedScanItem(*self, self->m_root);
    });
}

}  // namespace kestrane
