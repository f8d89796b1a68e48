#include "platform/TaskInbox.h"

#include <utility>

namespace kestrane::platform {

TaskInbox::TaskInbox(DispatchQueue& queue) : m_queue(queue) {}

// What is pending still runs: the queue's task holds the state.
TaskInbox::~TaskInbox() = default;

void TaskInbox::post(Task task) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->pending.push_back(std::move(task));
        if (m_state->scheduled) return;
        m_state->scheduled = true;
    }
    m_queue.async([state = m_state] { runPending(state); });
}

void TaskInbox::runPending(const std::shared_ptr<State>& state) {
    std::vector<Task> batch;
    {
        std::lock_guard lock(state->mutex);
        batch.swap(state->pending);
        state->scheduled = false;
    }
    for (Task& task : batch) {
        task();
        task = nullptr;  // what a task captured goes with it, as on the queue itself
    }
}

}  // namespace kestrane::platform
