#pragma once

#include "scan/ObjectWorkerCore.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrane {

namespace platform {
class SerialQueue;
}

// A pool worker: a serial queue of its own and a core that runs the tasks.
// Sub-tasks the core produces are passed on to the controller in bunches of
// up to 100, and whatever is left when the task completes goes with the
// completion report. A queued task keeps its worker alive.
class ObjectWorker : public std::enable_shared_from_this<ObjectWorker> {
public:
    using Tasks = std::vector<std::unique_ptr<ObjectTask>>;
    using CreateBlock = std::function<void(ObjectWorker&, Tasks)>;
    using CompletionBlock = std::function<void(ObjectWorker&)>;

    static constexpr std::size_t kMaxLengthOfSubtasksBunch = 100;

    ObjectWorker(std::string name, std::unique_ptr<ObjectWorkerCore> core, CreateBlock createBlock,
                 CompletionBlock completion);
    ~ObjectWorker();

    ObjectWorker(const ObjectWorker&) = delete;
    ObjectWorker& operator=(const ObjectWorker&) = delete;

    // Runs the task on the worker's queue.
    void processTask(std::unique_ptr<ObjectTask> task);
    void cancel();
    bool isCanceled() const;
    const std::string& name() const { return _name; }
    // Waits until the worker's queue has finished what it is doing.
    void waitUntilIdle();

private:
    void addSubTask(std::unique_ptr<ObjectTask> task);
    void complete();

    std::string _name;
    std::shared_ptr<platform::SerialQueue> _workQueue;
    std::unique_ptr<ObjectWorkerCore> _worker;
    Tasks _subTasks;  // touched only on _workQueue
    CreateBlock _createBlock;
    CompletionBlock _completion;
};

}  // namespace kestrane
