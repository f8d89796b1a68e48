#pragma once

#include "platform/DispatchQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kestrane::platform {

template <typename T>
class NoDestructor;

// The process-wide main queue. Its tasks run on the process's main thread,
// only while a front end drives it: the CLI calls run() until its job ends,
// the Qt front end drains it from its event loop (runPending()), and tests
// call runUntil().
class MainQueue final : public DispatchQueue {
public:
    static MainQueue& shared();

    void async(Task task) override;
    bool runsOnCurrentQueue() const override;  // true on the main thread
    const std::string& label() const override;

    static bool isMainThread();

    // Runs tasks until stop() is called. Main thread only.
    void run();
    void stop();
    // Runs tasks until the predicate holds or the timeout passes; returns the
    // predicate's last answer. The predicate is checked before each task.
    bool runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout);
    // Runs the tasks queued so far (and those they queue) without waiting; returns how many ran.
    std::size_t runPending();
    // Runs at most `limit` tasks of those queued (and those they queue), so
    // that an event loop gets its turn between batches; returns how many ran.
    std::size_t runPendingAtMost(std::size_t limit);

    std::size_t pendingCount() const;

    // Called, from the posting thread, whenever a task arrives on an empty
    // queue: a front end with its own event loop (Qt) schedules a
    // runPending() there. Empty: no hook. The hook must be thread-safe and
    // must not post to this queue itself.
    void setWakeHandler(std::function<void()> handler);

private:
    friend class NoDestructor<MainQueue>;
    MainQueue() = default;
    bool runOne(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_stopRequested = false;
    std::shared_ptr<const std::function<void()>> m_wakeHandler;  // guarded by m_mutex
    std::string m_label = "main";
};

}  // namespace kestrane::platform
