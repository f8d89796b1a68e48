#include "platform/OperationQueue.h"

#include "platform/NoDestructor.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrane::platform {

namespace {
thread_local const void* t_currentOperationQueue = nullptr;
}

struct OperationQueue::State {
    std::string label;
    unsigned maxConcurrent = 1;
    mutable std::mutex mutex;
    std::condition_variable wake;      // workers: work arrived or stopping
    std::condition_variable finished;  // waiters: an operation ended
    std::deque<Task> tasks;
    std::vector<std::thread> threads;
    unsigned idle = 0;      // threads without an operation (polling or asleep)
    unsigned spinning = 0;  // of those, the ones polling: they need no wake-up
    std::size_t running = 0;
    bool stopping = false;
    // Mirrors tasks.size() (written under the mutex) for the idle spin.
    std::atomic<std::size_t> queued{0};
    std::atomic<std::int64_t> idleSpinMicroseconds{0};
};

std::shared_ptr<OperationQueue> OperationQueue::create(std::string label, unsigned maxConcurrent) {
    return std::make_shared<OperationQueue>(std::move(label), maxConcurrent);
}

OperationQueue::OperationQueue(std::string label, unsigned maxConcurrent) : m_state(std::make_shared<State>()) {
    m_state->label = std::move(label);
    m_state->maxConcurrent = std::max(1u, maxConcurrent);
}

OperationQueue::~OperationQueue() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        threads = std::move(m_state->threads);
    }
    m_state->wake.notify_all();
    for (auto& thread : threads) {
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
}

void OperationQueue::run(const std::shared_ptr<State>& state) {
    t_currentOperationQueue = state.get();
    std::unique_lock lock(state->mutex);
    for (;;) {
        ++state->idle;
        if (state->tasks.empty() && !state->stopping) {
            const std::chrono::microseconds spin{state->idleSpinMicroseconds.load(std::memory_order_relaxed)};
            if (spin.count() > 0) {
                ++state->spinning;
                lock.unlock();
                spinUntil(spin, [&] { return state->queued.load(std::memory_order_acquire) != 0; });
                lock.lock();
                --state->spinning;
            }
        }
        state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
        --state->idle;
        if (state->tasks.empty()) break;
        Task task = std::move(state->tasks.front());
        state->tasks.pop_front();
        state->queued.store(state->tasks.size(), std::memory_order_relaxed);
        ++state->running;
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
        --state->running;
        state->finished.notify_all();
    }
    t_currentOperationQueue = nullptr;
}

void OperationQueue::async(Task task) {
    bool wakeSleeper = false;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->tasks.push_back(std::move(task));
        m_state->queued.store(m_state->tasks.size(), std::memory_order_release);
        const bool needThread = m_state->idle < m_state->tasks.size() &&
                                m_state->threads.size() < m_state->maxConcurrent && !m_state->stopping;
        if (needThread) m_state->threads.emplace_back([state = m_state] { run(state); });
        // A polling thread takes the operation by itself (and, should its
        // time run out first, finds it before it sleeps): wake a sleeping one
        // only for operations beyond what the polling ones will take.
        wakeSleeper = m_state->tasks.size() > m_state->spinning;
    }
    if (wakeSleeper) m_state->wake.notify_one();
}

bool OperationQueue::runsOnCurrentQueue() const {
    return t_currentOperationQueue == m_state.get();
}

const std::string& OperationQueue::label() const {
    return m_state->label;
}

unsigned OperationQueue::maxConcurrentOperationCount() const {
    return m_state->maxConcurrent;
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->tasks.size() + m_state->running;
}

std::size_t OperationQueue::cancelAllOperations() {
    std::deque<Task> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        dropped.swap(m_state->tasks);
        m_state->queued.store(0, std::memory_order_relaxed);
    }
    m_state->finished.notify_all();
    return dropped.size();  // destroyed outside the lock: what they captured may take locks
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(m_state->mutex);
    m_state->finished.wait(lock, [&] { return m_state->tasks.empty() && m_state->running == 0; });
}

void OperationQueue::setIdleSpin(std::chrono::microseconds spin) {
    m_state->idleSpinMicroseconds.store(spin.count(), std::memory_order_relaxed);
}

OperationQueue& backgroundQueue() {
    static NoDestructor<OperationQueue> queue("background", std::max(2u, std::thread::hardware_concurrency()));
    return *queue;
}

}  // namespace kestrane::platform
