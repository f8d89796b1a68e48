#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

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
    void sync(const Task& task);
    // True when the calling thread is running one of this queue's tasks.
    virtual bool runsOnCurrentQueue() const = 0;
    virtual const std::string& label() const = 0;
};

// Polls ready() until it holds or the budget is spent; true when it held. A
// queue thread that has just run out of work calls this before it sleeps: a
// hand-off that arrives within a few microseconds then costs no wake-up (a
// sleeping thread takes tens of microseconds to be woken and scheduled).
// Yields now and then so that a spinning thread never keeps a busy core from
// a thread that has work.
template <class Ready>
bool spinUntil(std::chrono::microseconds budget, Ready&& ready) {
    if (budget.count() <= 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + budget;
    for (unsigned round = 1;; ++round) {
        if (ready()) return true;
        if (round % 64 == 0) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::yield();
        } else {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
    }
}

}  // namespace kestrane::platform
