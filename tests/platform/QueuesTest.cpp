#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"
#include "platform/QueueChecker.h"
#include "platform/SerialQueue.h"
#include "platform/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using kestrane::platform::MainQueue;
using kestrane::platform::OperationQueue;
using kestrane::platform::QueueChecker;
using kestrane::platform::SerialQueue;
using kestrane::platform::Timer;

namespace {

TEST(SerialQueueTest, RunsTasksOneAtATimeInOrderOnItsOwnThread) {
    auto queue = SerialQueue::create("test.serial");
    std::vector<int> order;
    std::atomic<int> concurrent{0};
    std::atomic<int> maxConcurrent{0};
    std::thread::id queueThread;
    for (int i = 0; i < 500; ++i) {
        queue->async([&, i] {
            int now = ++concurrent;
            maxConcurrent = std::max(maxConcurrent.load(), now);
            if (i == 0) queueThread = std::this_thread::get_id();
            EXPECT_EQ(queueThread, std::this_thread::get_id());
            EXPECT_TRUE(queue->runsOnCurrentQueue());
            order.push_back(i);
            --concurrent;
        });
    }
    queue->drain();
    ASSERT_EQ(order.size(), 500u);
    for (int i = 0; i < 500; ++i) EXPECT_EQ(order[i], i);
    EXPECT_EQ(maxConcurrent.load(), 1);
    EXPECT_NE(queueThread, std::this_thread::get_id());
    EXPECT_FALSE(queue->runsOnCurrentQueue());
    EXPECT_EQ(queue->label(), "test.serial");
}

TEST(SerialQueueTest, SyncFromItsOwnTaskRunsInlineInsteadOfDeadlocking) {
    auto queue = SerialQueue::create("test.reentrant");
    std::vector<std::string> steps;
    queue->sync([&] {
        steps.push_back("outer");
        queue->sync([&] { steps.push_back("inner"); });
        steps.push_back("after");
    });
    EXPECT_EQ(steps, (std::vector<std::string>{"outer", "inner", "after"}));
}

TEST(SerialQueueTest, DestroyingTheQueueRunsEverythingAlreadyQueued) {
    std::atomic<int> ran{0};
    {
        auto queue = SerialQueue::create("test.shutdown");
        std::promise<void> release;
        std::promise<void> blocking;
        queue->async([&blocking, gate = release.get_future().share()] {
            blocking.set_value();
            gate.wait();
        });
        for (int i = 0; i < 100; ++i) queue->async([&] { ++ran; });
        blocking.get_future().wait();
        EXPECT_EQ(queue->pendingCount(), 101u);  // the 100 still wait behind it when the queue goes
        release.set_value();
    }
    EXPECT_EQ(ran.load(), 100);
}

TEST(SerialQueueTest, LastOwnerReleasedFromInsideATaskFinishesTheRemainingWork) {
    std::atomic<int> ran{0};
    std::promise<void> queued;
    std::promise<void> allDone;
    auto queue = SerialQueue::create("test.self-release");
    auto* raw = queue.get();
    raw->async([&ran, gate = queued.get_future().share(), holder = std::move(queue)]() mutable {
        gate.wait();  // the second task is queued before the queue is let go
        ++ran;
        holder.reset();  // the queue is destroyed here, on its own thread
    });
    raw->async([&] {
        ++ran;
        allDone.set_value();
    });
    queued.set_value();
    ASSERT_EQ(allDone.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(ran.load(), 2);
}

TEST(MainQueueTest, RunUntilRunsPostedWorkAndStopsWhenThePredicateHolds) {
    auto& main = MainQueue::shared();
    ASSERT_TRUE(MainQueue::isMainThread());
    auto worker = SerialQueue::create("test.poster");
    std::atomic<int> delivered{0};
    bool sawMainThread = true;
    for (int i = 0; i < 20; ++i)
        worker->async([&] {
            main.async([&] {
                sawMainThread = sawMainThread && MainQueue::isMainThread();
                ++delivered;
            });
        });
    EXPECT_TRUE(main.runUntil([&] { return delivered == 20; }, 5s));
    EXPECT_TRUE(sawMainThread);
}

TEST(MainQueueTest, RunUntilGivesUpAfterTheTimeout) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MainQueue::shared().runUntil([] { return false; }, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

TEST(MainQueueTest, SyncFromAnotherThreadWaitsForTheMainThread) {
    auto& main = MainQueue::shared();
    std::atomic<bool> finished{false};
    bool ranOnMain = false;
    std::thread other([&] {
        main.sync([&] { ranOnMain = MainQueue::isMainThread(); });
        finished = true;
    });
    EXPECT_TRUE(main.runUntil([&] { return finished.load(); }, 5s));
    other.join();
    EXPECT_TRUE(ranOnMain);
}

TEST(MainQueueTest, RunReturnsAfterStopAndRunsWhatWasQueuedBeforeIt) {
    auto& main = MainQueue::shared();
    int ran = 0;
    main.async([&] { ++ran; });
    main.async([&] { main.stop(); });
    main.run();
    EXPECT_EQ(ran, 1);
}

TEST(MainQueueTest, TheWakeHandlerHearsOfWorkArrivingOnAnEmptyQueueAndBatchesAreBounded) {
    MainQueue& queue = MainQueue::shared();
    queue.runPending();
    std::atomic<int> wakes{0};
    queue.setWakeHandler([&] { ++wakes; });
    int ran = 0;
    std::thread poster([&] {
        queue.async([&] { ++ran; });
        queue.async([&] { ++ran; });  // not empty any more: no second wake
    });
    poster.join();
    EXPECT_EQ(wakes.load(), 1);
    EXPECT_EQ(queue.runPendingAtMost(1), 1u);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(queue.pendingCount(), 1u);
    EXPECT_EQ(queue.runPendingAtMost(5), 1u);
    EXPECT_EQ(ran, 2);
    queue.setWakeHandler(nullptr);
    queue.async([&] { ++ran; });
    EXPECT_EQ(wakes.load(), 1);  // the handler is gone
    queue.runPending();
}

TEST(OperationQueueTest, NeverRunsMoreThanItsLimitAtOnce) {
    OperationQueue queue("test.ops", 3);
    std::mutex mutex;
    std::condition_variable changed;
    int running = 0;
    int peak = 0;
    int done = 0;
    bool allThreeMet = true;
    for (int i = 0; i < 40; ++i)
        queue.addOperation([&, i] {
            std::unique_lock lock(mutex);
            peak = std::max(peak, ++running);
            changed.notify_all();
            // The first three stay until they all run at once: the pool does
            // run in parallel up to its limit.
            if (i < 3 && !changed.wait_for(lock, 10s, [&] { return peak >= 3; }))
                allThreeMet = false;
            --running;
            ++done;
        });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(done, 40);
    EXPECT_TRUE(allThreeMet);
    EXPECT_EQ(peak, 3);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueueTest, CancelDropsOperationsNotYetStarted) {
    OperationQueue queue("test.cancel", 1);
    std::promise<void> release;
    auto gate = release.get_future().share();
    std::promise<void> started;
    std::atomic<int> ran{0};
    queue.addOperation([gate, &started] {
        started.set_value();
        gate.wait();
    });
    for (int i = 0; i < 10; ++i) queue.addOperation([&] { ++ran; });
    started.get_future().wait();
    EXPECT_EQ(queue.operationCount(), 11u);
    EXPECT_EQ(queue.cancelAllOperations(), 10u);
    release.set_value();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran.load(), 0);
}

TEST(OperationQueueTest, DestroyingTheQueueRunsWhatIsQueued) {
    std::atomic<int> ran{0};
    {
        OperationQueue queue("test.ops-shutdown", 2);
        for (int i = 0; i < 50; ++i) queue.addOperation([&] { ++ran; });
    }
    EXPECT_EQ(ran.load(), 50);
}

TEST(OperationQueueTest, SpinningIdleThreadsTakeEveryHandOffKeepTheLimitAndStillStop) {
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    const auto started = std::chrono::steady_clock::now();
    {
        OperationQueue queue("test.spin", 2);
        queue.setIdleSpin(20ms);  // every hand-off below lands on a polling thread
        for (int round = 0; round < 200; ++round) {
            std::promise<int> done;
            for (int i = 0; i < 3; ++i)
                queue.addOperation([&, i] {
                    const int now = ++running;
                    int seen = peak.load();
                    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
                    }
                    --running;
                    if (i == 2) done.set_value(round);
                });
            ASSERT_EQ(done.get_future().get(), round);
            queue.waitUntilAllOperationsAreFinished();
        }
        EXPECT_LE(peak.load(), 2);
        EXPECT_EQ(queue.operationCount(), 0u);
    }  // destroyed while its threads poll: they notice within their budget
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
}

TEST(OperationQueueTest, SpinUntilReportsWhetherTheConditionCameWithinTheBudget) {
    EXPECT_FALSE(kestrane::platform::spinUntil(0us, [] { return true; }));  // no budget: no polling
    EXPECT_FALSE(kestrane::platform::spinUntil(2ms, [] { return false; }));
    // Set by another thread once the spinning has seen it unset.
    std::atomic<int> polls{0};
    std::atomic<bool> flag{false};
    std::thread setter([&] {
        polls.wait(0);
        flag = true;
    });
    EXPECT_TRUE(kestrane::platform::spinUntil(10s, [&] {
        if (flag.load()) return true;
        if (polls.fetch_add(1) == 0) polls.notify_one();
        return false;
    }));
    EXPECT_GE(polls.load(), 1);
    setter.join();
}

TEST(OperationQueueTest, BackgroundQueueRunsWorkOffTheMainThread) {
    std::promise<bool> onMain;
    kestrane::platform::backgroundQueue().async([&] { onMain.set_value(MainQueue::isMainThread()); });
    EXPECT_FALSE(onMain.get_future().get());
}

TEST(QueueCheckerTest, ADebugBuildStopsACallOffTheQueueAndFollowsAHandOver) {
#ifdef NDEBUG
    GTEST_SKIP() << "queue checks are compiled into debug builds only";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto first = SerialQueue::create("test.first");
    auto second = SerialQueue::create("test.second");
    QueueChecker checker(*first);
    first->sync([&] { KESTRANE_CHECK_QUEUE(checker); });
    EXPECT_DEATH(KESTRANE_CHECK_QUEUE(checker), "called off its queue \"test.first\"");
    EXPECT_DEATH(second->sync([&] { KESTRANE_CHECK_QUEUE(checker); }), "test.first");

    first->sync([&] { checker.attach(*second); });
    second->sync([&] { KESTRANE_CHECK_QUEUE(checker); });
    EXPECT_DEATH(first->sync([&] { KESTRANE_CHECK_QUEUE(checker); }), "test.second");
    checker.detach();
    KESTRANE_CHECK_QUEUE(checker);  // attached to none: anyone may call

    QueueChecker onMain(MainQueue::shared());
    KESTRANE_CHECK_QUEUE(onMain);
    EXPECT_DEATH(kestrane::platform::backgroundQueue().sync([&] { KESTRANE_CHECK_QUEUE(onMain); }), "\"main\"");
#endif
}

// A queue that keeps what is posted to it until the test runs it, and says
// when something arrives.
class HeldQueue final : public kestrane::platform::DispatchQueue {
public:
    void async(kestrane::platform::Task task) override {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_arrived.notify_all();
    }
    bool runsOnCurrentQueue() const override { return false; }
    const std::string& label() const override { return m_label; }

    // Waits until `count` tasks were posted in all.
    bool waitForPosted(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, 10s, [&] { return m_posted + m_tasks.size() >= count; });
    }
    std::size_t posted() {
        std::lock_guard lock(m_mutex);
        return m_posted + m_tasks.size();
    }
    // Runs what has been posted so far.
    void runHeld() {
        std::vector<kestrane::platform::Task> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
            m_posted += tasks.size();
        }
        for (auto& task : tasks) task();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<kestrane::platform::Task> m_tasks;
    std::size_t m_posted = 0;
    std::string m_label = "test.held";
};

TEST(TimerTest, RepeatingTimerFiresUntilInvalidatedAndNotEvenACallAlreadyQueuedRunsAfter) {
    HeldQueue queue;
    int fired = 0;
    auto timer = Timer::scheduled(1ms, true, [&] { ++fired; }, queue);
    for (std::size_t beat = 1; beat <= 3; ++beat) {
        ASSERT_TRUE(queue.waitForPosted(beat));
        queue.runHeld();
        EXPECT_EQ(fired, static_cast<int>(beat));
    }
    ASSERT_TRUE(queue.waitForPosted(4));  // a fourth call is queued, not run yet
    timer->invalidate();
    EXPECT_FALSE(timer->isValid());
    timer.reset();  // its thread has ended: nothing more can be posted
    queue.runHeld();
    EXPECT_EQ(fired, 3);
}

TEST(TimerTest, BusyQueueGetsOneCallAtATimeFromARepeatingTimer) {
    HeldQueue queue;
    int fired = 0;
    auto timer = Timer::scheduled(1ms, true, [&] { ++fired; }, queue);
    ASSERT_TRUE(queue.waitForPosted(1));
    queue.runHeld();
    ASSERT_TRUE(queue.waitForPosted(2));
    timer.reset();
    EXPECT_EQ(queue.posted(), 2u);  // the beats while the second call waited were skipped
    queue.runHeld();
    EXPECT_EQ(fired, 1);
}

TEST(TimerTest, OneShotTimerFiresOnceAndDestroyedTimerNeverFires) {
    HeldQueue queue;
    int once = 0;
    auto single = Timer::scheduled(1ms, false, [&] { ++once; }, queue);
    ASSERT_TRUE(queue.waitForPosted(1));
    queue.runHeld();
    EXPECT_FALSE(single->isValid());
    single.reset();
    EXPECT_EQ(queue.posted(), 1u);
    EXPECT_EQ(once, 1);

    HeldQueue other;
    int never = 0;
    Timer::scheduled(1ms, false, [&] { ++never; }, other).reset();
    other.runHeld();  // anything posted before the destruction does nothing
    EXPECT_EQ(never, 0);
}

TEST(TimerTest, TimersFireOnTheMainQueueUnlessToldOtherwise) {
    int fired = 0;
    bool allOnMain = true;
    auto timer = Timer::scheduled(1ms, true, [&] {
        ++fired;
        allOnMain = allOnMain && MainQueue::isMainThread();
    });
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return fired >= 3; }, 5s));
    EXPECT_TRUE(allOnMain);
}

}  // namespace
