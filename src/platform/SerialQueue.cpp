#include "platform/SerialQueue.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace kestrane::platform {

namespace {
thread_local const void* t_currentSerialQueue = nullptr;
}

struct SerialQueue::State {
    std::string label;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    std::thread thread;
    bool stopping = false;
    std::size_t running = 0;
};

std::shared_ptr<SerialQueue> SerialQueue::create(std::string label) {
    return std::make_shared<SerialQueue>(std::move(label));
}

SerialQueue::SerialQueue(std::string label) : m_state(std::make_shared<State>()) {
    m_state->label = std::move(label);
}

SerialQueue::~SerialQueue() {
    std::thread thread;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        thread = std::move(m_state->thread);
    }
    m_state->wake.notify_all();
    if (!thread.joinable()) return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();  // released from one of our own tasks: the thread drains and ends alone
    else
        thread.join();
}

void SerialQueue::run(const std::shared_ptr<State>& state) {
    t_currentSerialQueue = state.get();
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
        if (state->tasks.empty()) break;  // stopping, and nothing left to run
        Task task = std::move(state->tasks.front());
        state->tasks.pop_front();
        ++state->running;
        lock.unlock();
        task();
        task = nullptr;  // release what the task captured before taking the lock again
        lock.lock();
        --state->running;
        state->wake.notify_all();
    }
    t_currentSerialQueue = nullptr;
}

void SerialQueue::async(Task task) {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->tasks.push_back(std::move(task));
        if (!m_state->thread.joinable() && !m_state->stopping)
            m_state->thread = std::thread([state = m_state] { run(state); });
    }
    m_state->wake.notify_all();
}

void SerialQueue::drain() {
    sync([] {});
}

bool SerialQueue::runsOnCurrentQueue() const {
    return t_currentSerialQueue == m_state.get();
}

const std::string& SerialQueue::label() const {
    return m_state->label;
}

std::size_t SerialQueue::pendingCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->tasks.size() + m_state->running;
}

}  // namespace kestrane::platform
