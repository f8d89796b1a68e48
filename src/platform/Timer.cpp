#include "platform/Timer.h"

#include "platform/MainQueue.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrane::platform {

struct Timer::State {
    std::chrono::milliseconds interval{};
    bool repeats = false;
    Task callback;
    DispatchQueue* queue = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    bool valid = true;
    bool firePending = false;
    std::thread thread;
};

std::unique_ptr<Timer> Timer::scheduled(std::chrono::milliseconds interval, bool repeats, Task callback) {
    return scheduled(interval, repeats, std::move(callback), MainQueue::shared());
}

std::unique_ptr<Timer> Timer::scheduled(std::chrono::milliseconds interval, bool repeats, Task callback,
                                        DispatchQueue& queue) {
    return std::make_unique<Timer>(interval, repeats, std::move(callback), queue);
}

Timer::Timer(std::chrono::milliseconds interval, bool repeats, Task callback, DispatchQueue& queue)
    : m_state(std::make_shared<State>()) {
    m_state->interval = interval;
    m_state->repeats = repeats;
    m_state->callback = std::move(callback);
    m_state->queue = &queue;
    m_state->thread = std::thread([state = m_state] {
        auto next = std::chrono::steady_clock::now() + state->interval;
        std::unique_lock lock(state->mutex);
        while (state->valid) {
            if (state->wake.wait_until(lock, next, [&] { return !state->valid; })) break;
            if (!state->firePending) {
                state->firePending = true;
                state->queue->async([state] {
                    Task callback;
                    {
                        std::lock_guard guard(state->mutex);
                        state->firePending = false;
                        if (!state->valid) return;
                        if (!state->repeats) state->valid = false;
                        callback = state->callback;
                    }
                    callback();
                });
            }
            if (!state->repeats) break;
            next += state->interval;
            const auto now = std::chrono::steady_clock::now();
            if (next < now) next = now + state->interval;
        }
    });
}

Timer::~Timer() {
    invalidate();
    if (m_state->thread.joinable()) {
        if (m_state->thread.get_id() == std::this_thread::get_id())
            m_state->thread.detach();
        else
            m_state->thread.join();
    }
}

void Timer::invalidate() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->valid = false;
    }
    m_state->wake.notify_all();
}

bool Timer::isValid() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->valid;
}

}  // namespace kestrane::platform
