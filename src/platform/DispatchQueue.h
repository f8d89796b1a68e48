#pragma once

#include <functional>
#include <string>

namespace kestrane::platform {

using Task = std::function<void()>;

// Something that runs tasks: a serial queue, the main queue, a concurrent pool.
class DispatchQueue {
public:
    virtual ~DispatchQueue() = default;

    // Queues the task and returns at once.
    virtual void async(Task task) = 0;
    // Runs the task on the queue and waits for it. Called from the queue
    // itself, the task runs at once (it would otherwise wait for itself).
    virtual void sync(const Task& task) = 0;
    // True when the calling thread is running one of this queue's tasks.
    virtual bool runsOnCurrentQueue() const = 0;
    virtual const std::string& label() const = 0;
};

}  // namespace kestrane::platform

// Code that must only run on a given queue states it; checked in debug builds.
#ifdef NDEBUG
#define KESTRANE_ASSERT_ON_QUEUE(queue) ((void)0)
#else
#include <cassert>
#define KESTRANE_ASSERT_ON_QUEUE(queue) assert((queue).runsOnCurrentQueue())
#endif
