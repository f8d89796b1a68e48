#pragma once

// Real folder trees for the duplicate-folder tests: written to a temporary
// folder, read back by the folder scanner, optionally run through the
// duplicate files stage, the way a scan prepares them for the folder stage.

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesFilter.h"
#include "duplicates/DuplicatesGroup.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "scan/FolderScanner.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::test {

// Reads the folder with the folder scanner, running the main queue until the root is there.
inline std::shared_ptr<VolumeSystemItem> scanFolder(const std::string& path) {
    struct Listener : FolderScannerListener {
        void onScannerFoundFiles(FolderScanner&, std::vector<FileSystemItem*>) override {}
        void onScannerCompletedScanItem(FolderScanner&, std::shared_ptr<VolumeSystemItem> scanned) override {
            root = std::move(scanned);
            done = true;
        }
        std::shared_ptr<VolumeSystemItem> root;
        bool done = false;
    };
    auto listener = std::make_shared<Listener>();
    auto scanner = FolderScanner::create(path, nullptr, listener);
    runMainQueueUntil([&] { return listener->done; });
    return listener->root;
}

// Runs the duplicate files stage over every file of the roots; files below
// the minimal size (-1: automatic) stay unchecked. The roots are saved in the
// container it returns.
inline std::shared_ptr<DuplicatesContainer> runFilesStage(const std::vector<std::shared_ptr<VolumeSystemItem>>& roots,
                                                          std::int64_t minimalSize) {
    struct Listener : DuplicatesFilterListener {
        void onDuplicatesFilesFilterStartFilterFiles(std::uint64_t) override {}
        void onFinishSearchDuplicatesFilesWithType(FileCategory) override {}
        void onDuplicatesFilesFilterProgressChanged(DuplicatesFilterProgress) override {}
        void onPossibleFoldersSizeChanged(std::uint64_t, std::uint64_t) override {}
        void onFilteredFiles(std::int32_t, std::uint64_t, std::optional<FileCategory>) override {}
        void onFinishFilterWithResultContainer(std::shared_ptr<DuplicatesContainer> result, std::uint64_t) override {
            container = std::move(result);
        }
        std::shared_ptr<DuplicatesContainer> container;
    };
    auto listener = std::make_shared<Listener>();
    auto queue = platform::SerialQueue::create("test.files-stage");
    auto filter = DuplicatesFilter::create(minimalSize, nullptr, nullptr, SeparationOptions{});
    filter->setWorkingQueue(queue);
    filter->setListener(listener);
    queue->sync([&] {
        for (const auto& root : roots)
            for (FileSystemItem* item : root->childrenDeepArray())
                if (!item->isDir()) filter->addFileItemIncludeHidden(item, false);
    });
    filter->filterDuplicates();
    runMainQueueUntil([&] { return listener->container != nullptr; });
    if (listener->container) listener->container->saveRoots(roots);
    return listener->container;
}

// The item at a path relative to the root ("a/b/c.txt"), or null.
inline FileSystemItem* itemAt(FolderSystemItem& root, std::string_view relative) {
    FileSystemItem* current = &root;
    while (!relative.empty() && current != nullptr) {
        if (!current->isDir()) return nullptr;
        const auto slash = relative.find('/');
        current = static_cast<FolderSystemItem*>(current)->childWithName(relative.substr(0, slash));
        relative = slash == std::string_view::npos ? std::string_view{} : relative.substr(slash + 1);
    }
    return current;
}

inline FolderSystemItem* folderAt(FolderSystemItem& root, std::string_view relative) {
    FileSystemItem* item = itemAt(root, relative);
    EXPECT_TRUE(item != nullptr && item->isDir()) << "no folder " << relative;
    return item != nullptr && item->isDir() ? static_cast<FolderSystemItem*>(item) : nullptr;
}

// The groups of a category as sets of paths.
using PathSets = std::set<std::set<std::string>>;
inline PathSets pathsOf(const DuplicatesCategory& category) {
    PathSets result;
    for (const auto& group : category.getGroups()) {
        std::set<std::string> paths;
        for (const auto* item : group->getFileSystemItems()) paths.insert(item->path());
        result.insert(std::move(paths));
    }
    return result;
}

// A real folder tree: a test writes it into m_dir, scan() reads it back into m_root.
class ScannedTreeTest : public IsolatedHomeTest {
protected:
    void scan() {
        m_root = scanFolder(m_dir.path());
        ASSERT_TRUE(m_root);
    }
    FileSystemItem* item(const std::string& relative) { return itemAt(*m_root, relative); }
    FolderSystemItem* folder(const std::string& relative) { return folderAt(*m_root, relative); }
    // The full paths of paths relative to m_dir.
    std::set<std::string> paths(const std::vector<std::string>& relatives) const {
        std::set<std::string> result;
        for (const auto& relative : relatives) result.insert(m_dir / relative);
        return result;
    }

    TempDir m_dir;
    std::shared_ptr<VolumeSystemItem> m_root;
};

// Keeps a serial queue busy until opened (at the latest when it goes), so
// that a test can stop work at a known point: whatever is queued behind the
// gate waits.
class QueueGate {
public:
    explicit QueueGate(platform::SerialQueue& queue) : m_queue(queue) {
        m_queue.async([opened = m_opened.get_future().share(), closed = m_closed] {
            closed->store(true);
            opened.wait();
        });
    }
    ~QueueGate() { open(); }
    QueueGate(const QueueGate&) = delete;
    QueueGate& operator=(const QueueGate&) = delete;

    void open() {
        if (m_isOpen) return;
        m_isOpen = true;
        m_opened.set_value();
    }
    // Runs the main queue until something is queued behind the gate.
    // Until the gate runs, what is counted may still be the tail of earlier
    // work (a task finishing), not something behind the gate.
    bool waitUntilSomethingWaits() {
        return runMainQueueUntil([&] { return m_closed->load() && m_queue.pendingCount() > 1; });
    }

private:
    platform::SerialQueue& m_queue;
    std::promise<void> m_opened;
    std::shared_ptr<std::atomic<bool>> m_closed = std::make_shared<std::atomic<bool>>(false);
    bool m_isOpen = false;
};

}  // namespace kestrane::test
