#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace kestrane {

// One unit of work handed out by an ObjectWorkersController. The pool knows
// nothing about what a task holds; cores downcast to their own task type.
class ObjectTask {
public:
    virtual ~ObjectTask() = default;
};

// The part of a pool worker that does the work: it processes one task at a
// time on its worker's queue, hands sub-tasks it finds to the creator and
// calls the completion when the task is done.
class ObjectWorkerCore {
public:
    using SubtaskCreator = std::function<void(std::unique_ptr<ObjectTask>)>;
    using Completion = std::function<void()>;

    virtual ~ObjectWorkerCore() = default;

    // Runs on the worker's queue. The core calls the completion before it returns (the
    // creator and the completion must not be kept beyond that).
    // Subclasses must override this; the base reports the programming error and aborts.
    virtual void processTaskWithSubtaskCreatorAndCompletion(std::unique_ptr<ObjectTask> task,
                                                            SubtaskCreator subtaskCreator,
                                                            Completion completion);

    // Set once, from the controller's queue; read by the core at its check points.
    void cancel() { _isCanceled.store(true, std::memory_order_relaxed); }
    bool isCanceled() const { return _isCanceled.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> _isCanceled{false};
};

// Makes one core per worker of a pool. The base makes none.
class ObjectTaskFactory {
public:
    virtual ~ObjectTaskFactory() = default;
    virtual std::unique_ptr<ObjectWorkerCore> createWorker() { return nullptr; }
};

}  // namespace kestrane
