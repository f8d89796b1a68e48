#pragma once

#include "platform/DispatchQueue.h"

#include <chrono>
#include <memory>

namespace kestrane::platform {

// Runs operations on up to N threads at a time, in the order they were added.
// Threads are started as work arrives and kept until the queue is destroyed.
// Destroying the queue runs the operations still queued (unless they were
// cancelled) and waits for them.
class OperationQueue final : public DispatchQueue {
public:
    static std::shared_ptr<OperationQueue> create(std::string label, unsigned maxConcurrent);
    OperationQueue(std::string label, unsigned maxConcurrent);
    ~OperationQueue() override;

    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void addOperation(Task task) { async(std::move(task)); }
    void async(Task task) override;
    bool runsOnCurrentQueue() const override;
    const std::string& label() const override;

    unsigned maxConcurrentOperationCount() const;
    // Operations queued or running.
    std::size_t operationCount() const;
    // Drops every operation not yet started; returns how many were dropped.
    std::size_t cancelAllOperations();
    void waitUntilAllOperationsAreFinished();

    // How long an idle thread keeps polling for the next operation before it
    // goes to sleep (0, the default: it sleeps at once). For queues fed a few
    // short operations at a time, many thousands of times in a row, where
    // waking a sleeping thread would cost more than the operation itself.
    void setIdleSpin(std::chrono::microseconds spin);

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> m_state;
};

// The process-wide background queue: a concurrent pool with one thread per
// core (at least two), for work that belongs to no particular queue.
OperationQueue& backgroundQueue();

}  // namespace kestrane::platform
