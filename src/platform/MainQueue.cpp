#include "platform/MainQueue.h"

#include "platform/NoDestructor.h"

#include <future>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestrane::platform {

MainQueue& MainQueue::shared() {
    static NoDestructor<MainQueue> queue;
    return *queue;
}

bool MainQueue::isMainThread() {
    // The main thread is the process's first thread, whose thread id is the process id.
    static thread_local const bool isMain = ::syscall(SYS_gettid) == ::getpid();
    return isMain;
}

void MainQueue::async(Task task) {
    bool wasEmpty = false;
    std::shared_ptr<const std::function<void()>> wakeHandler;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_tasks.empty();
        m_tasks.push_back(std::move(task));
        if (wasEmpty) wakeHandler = m_wakeHandler;
    }
    // The main thread only ever waits on an empty queue: once a task waits,
    // it has been woken already (or is running) and finds the later ones too.
    // An event loop that drains the queue likewise runs every later task in
    // the drain that the first one scheduled.
    if (wasEmpty) {
        m_wake.notify_all();
        if (wakeHandler) (*wakeHandler)();
    }
}

void MainQueue::setWakeHandler(std::function<void()> handler) {
    std::lock_guard lock(m_mutex);
    m_wakeHandler = handler ? std::make_shared<const std::function<void()>>(std::move(handler)) : nullptr;
}

bool MainQueue::runsOnCurrentQueue() const {
    return isMainThread();
}

const std::string& MainQueue::label() const {
    return m_label;
}

bool MainQueue::runOne(std::unique_lock<std::mutex>& lock) {
    if (m_tasks.empty()) return false;
    Task task = std::move(m_tasks.front());
    m_tasks.pop_front();
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
    return true;
}

void MainQueue::run() {
    std::unique_lock lock(m_mutex);
    m_stopRequested = false;
    while (!m_stopRequested) {
        if (!runOne(lock)) m_wake.wait(lock, [&] { return m_stopRequested || !m_tasks.empty(); });
    }
    m_stopRequested = false;
}

void MainQueue::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
}

bool MainQueue::runUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_mutex);
    for (;;) {
        lock.unlock();
        if (predicate()) return true;
        lock.lock();
        if (runOne(lock)) continue;
        // Nothing to run: wait for a task, but look at the predicate now and
        // then, since it may depend on work done on other threads.
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        m_wake.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(5)),
                          [&] { return !m_tasks.empty(); });
    }
    lock.unlock();
    return predicate();
}

std::size_t MainQueue::runPending() {
    std::size_t count = 0;
    std::unique_lock lock(m_mutex);
    while (runOne(lock)) ++count;
    return count;
}

std::size_t MainQueue::runPendingAtMost(std::size_t limit) {
    std::size_t count = 0;
    std::unique_lock lock(m_mutex);
    while (count < limit && runOne(lock)) ++count;
    return count;
}

std::size_t MainQueue::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_tasks.size();
}

}  // namespace kestrane::platform
