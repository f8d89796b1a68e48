#pragma once

#include "platform/QueueChecker.h"
#include "scan/ObjectWorker.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace kestrane {

namespace platform {
class SerialQueue;
}

// A pool of workers, each on its own serial queue, fed from one stack of
// tasks (the last task added is handed out first) under a controller queue.
// Workers hand new tasks back to the controller; the completion runs once,
// on the controller's queue, when every worker is idle with no task left or
// when the pool is cancelled.
class ObjectWorkersController : public std::enable_shared_from_this<ObjectWorkersController> {
public:
    using Tasks = ObjectWorker::Tasks;
    using Completion = std::function<void(ObjectWorkersController&)>;

    // Makes the pool and starts it on its queue.
    static std::shared_ptr<ObjectWorkersController> create(std::string name,
                                                           std::shared_ptr<ObjectTaskFactory> workerFactory,
                                                           std::size_t countOfWorkers, Tasks tasks,
                                                           Completion completion);
    ~ObjectWorkersController();

    ObjectWorkersController(const ObjectWorkersController&) = delete;
    ObjectWorkersController& operator=(const ObjectWorkersController&) = delete;

    void cancel();
    bool isCanceled() const;
    const std::string& name() const { return _name; }

    // Waits until every worker has left the task it is running (used after a
    // cancel, before anything reads what the workers built). Not on a worker queue.
    void waitForWorkersToLeaveTheirTasks();

    // Worker callbacks, posted to the controller's queue.
    void onWorkerCreateSubTasks(ObjectWorker& worker, Tasks tasks);
    void onWorkerDone(ObjectWorker& worker);

    // How many tasks the workers have handed to the pool so far (any thread).
    std::uint64_t sharedTaskCount() const { return _sharedTaskCount.load(std::memory_order_relaxed); }

    // The controller's queue, for code that must run in step with it.
    platform::SerialQueue& queue() { return *_workQueue; }

private:
    struct Private {};

public:
    ObjectWorkersController(Private, std::string name, std::shared_ptr<ObjectTaskFactory> factory, Tasks tasks,
                            Completion completion);

private:
    void start(std::size_t countOfWorkers);
    std::unique_ptr<ObjectTask> nextTask();
    void wakeSleepedWorkers();
    void checkCompletion();

    std::string _name;
    std::shared_ptr<platform::SerialQueue> _workQueue;
    platform::QueueChecker _queueChecker;
    std::shared_ptr<ObjectTaskFactory> _factory;
    // Everything below is touched only on _workQueue.
    Tasks _tasks;
    std::vector<std::shared_ptr<ObjectWorker>> _workers;
    std::unordered_set<ObjectWorker*> _sleepedWorkers;
    Completion _completion;
    std::atomic<bool> _isCanceled{false};
    std::atomic<std::uint64_t> _sharedTaskCount{0};
};

}  // namespace kestrane
