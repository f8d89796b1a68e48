#pragma once

#include "platform/DispatchQueue.h"

#include <memory>
#include <mutex>
#include <vector>

namespace kestrane::platform {

// Tasks for one queue, gathered while the queue has not yet run the last
// batch and then run together, in the order they were posted, by one task of
// the queue. A queue fed many small tasks from other threads is then woken
// once per batch instead of once per task.
//
// Tasks posted here run no earlier than they would through queue.async(), but
// may run before tasks posted to the queue directly after them: a producer
// that needs an order between its tasks posts them all through one inbox.
// The inbox may be posted to from any thread; it holds the queue by
// reference, which must outlive the tasks posted.
class TaskInbox {
public:
    explicit TaskInbox(DispatchQueue& queue);
    ~TaskInbox();
    TaskInbox(const TaskInbox&) = delete;
    TaskInbox& operator=(const TaskInbox&) = delete;

    void post(Task task);

private:
    struct State {
        std::mutex mutex;
        std::vector<Task> pending;
        bool scheduled = false;  // a task of the queue will run what is pending
    };
    static void runPending(const std::shared_ptr<State>& state);

    DispatchQueue& m_queue;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

}  // namespace kestrane::platform
