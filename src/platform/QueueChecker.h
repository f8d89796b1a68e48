#pragma once

#include "platform/DispatchQueue.h"

#ifndef NDEBUG
#include <atomic>
#endif

namespace kestrane::platform {

// States which queue an object belongs to, so that its entry points can check
// that they run there: a member of every class bound to a queue, checked with
// KESTRANE_CHECK_QUEUE(m_queueChecker) at the top of each entry point. The
// check asks the queue (runsOnCurrentQueue()), so a task that reached the
// object some other way than through its queue stops a debug build at once,
// with the file, the line and the queue's label. In release builds the
// checker is an empty class and the check compiles to nothing.
//
// An object that moves from queue to queue at known points (a result filled
// by one stage of a scan after another, then used on the main queue) is
// handed over with attach(); a checker attached to no queue lets every call
// through. The queue must outlive the checker's checks: objects hold the
// queue they are bound to, or are bound to a process-wide one.
class QueueChecker {
public:
#ifndef NDEBUG
    QueueChecker() = default;
    explicit QueueChecker(const DispatchQueue& queue) : m_queue(&queue) {}

    // From now on the entry points belong to this queue. Call it on the queue
    // that owns the object until now, before the object is handed over.
    void attach(const DispatchQueue& queue) { m_queue.store(&queue, std::memory_order_release); }
    // Until the next attach(), any queue may call.
    void detach() { m_queue.store(nullptr, std::memory_order_release); }
    // True on the attached queue, or when attached to none.
    bool isCurrent() const {
        const DispatchQueue* queue = m_queue.load(std::memory_order_acquire);
        return queue == nullptr || queue->runsOnCurrentQueue();
    }
    // The label of the attached queue ("" for none), for the failure message.
    const char* label() const;
#else
    QueueChecker() = default;
    explicit QueueChecker(const DispatchQueue&) {}
    void attach(const DispatchQueue&) {}
    void detach() {}
    static constexpr bool isCurrent() { return true; }
#endif

    QueueChecker(const QueueChecker&) = delete;
    QueueChecker& operator=(const QueueChecker&) = delete;

private:
#ifndef NDEBUG
    std::atomic<const DispatchQueue*> m_queue{nullptr};
#endif
};

// Reports a call made off the checker's queue and aborts.
[[noreturn]] void queueCheckFailed(const QueueChecker& checker, const char* file, int line);
// The same for an entry point that belongs to a process-wide queue rather
// than to an object (the selection operations, which run on the main queue).
[[noreturn]] void queueCheckFailed(const DispatchQueue& queue, const char* file, int line);

}  // namespace kestrane::platform

#ifdef NDEBUG
#define KESTRANE_CHECK_QUEUE(checker) ((void)0)
#define KESTRANE_CHECK_RUNS_ON(queue) ((void)0)
#else
#define KESTRANE_CHECK_RUNS_ON(queue)                                                           \
    do {                                                                                        \
        if (!(queue).runsOnCurrentQueue()) ::kestrane::platform::queueCheckFailed(queue, __FILE__, __LINE__); \
    } while (false)
#define KESTRANE_CHECK_QUEUE(checker)                                                           \
    do {                                                                                        \
        if (!(checker).isCurrent()) ::kestrane::platform::queueCheckFailed(checker, __FILE__, __LINE__); \
    } while (false)
#endif
