#pragma once

#include "merge/MergeFileOperation.h"
#include "merge/MergeOperationResult.h"
#include "merge/SourceFolderRemoval.h"

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace kestrane {

namespace platform {
class SerialQueue;
}

// Told, on the main queue, how the file operations of a merge go.
class MergePerformerListener {
public:
    virtual ~MergePerformerListener() = default;
    virtual void onMergePerformerProgress(const MergeOperationProgressInfo& info) = 0;
    // Once, at the end: the outcome of every task in the order given (a task
    // that never ran because of stop() is cancelled), and what became of the
    // source folder when its removal was asked for.
    virtual void onMergePerformerFinished(std::vector<MergeFileOutcome> outcomes,
                                          std::optional<SourceFolderOutcome> sourceFolder) = 0;
};

// Runs the file operations of a merge, one after the other, on a serial
// queue of its own ("merge.working"), then, when asked and not stopped, the
// removal of the source folder. Progress (after every operation and every
// block copied) and the end go to the listener on the main queue. The work
// keeps the performer alive until it is done; the listener is held weakly.
class MergePerformer : public std::enable_shared_from_this<MergePerformer> {
    struct Key {
        explicit Key() = default;
    };

public:
    static std::shared_ptr<MergePerformer> create(std::vector<MergeFileTask> tasks,
                                                  std::optional<SourceFolderRemovalRequest> sourceRemoval,
                                                  std::weak_ptr<MergePerformerListener> listener);
    MergePerformer(Key, std::vector<MergeFileTask> tasks, std::optional<SourceFolderRemovalRequest> sourceRemoval,
                   std::weak_ptr<MergePerformerListener> listener);
    ~MergePerformer();

    // Starts the work; only once.
    void start();
    // Asks the work to stop: the operation under way ends without changing
    // anything when it can (a copy is dropped), the others never start.
    void stop() { m_stop.store(true); }
    bool isStopped() const { return m_stop.load(); }

private:
    void work();
    void report(MergeOperationProgressInfo info);

    std::vector<MergeFileTask> m_tasks;
    std::optional<SourceFolderRemovalRequest> m_sourceRemoval;
    std::weak_ptr<MergePerformerListener> m_listener;
    std::shared_ptr<platform::SerialQueue> m_queue;
    std::atomic<bool> m_stop{false};
    bool m_started = false;
};

}  // namespace kestrane
