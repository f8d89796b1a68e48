#include "platform/TaskInbox.h"

#include "platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

namespace kestrane::platform {
namespace {

TEST(TaskInboxTest, TasksFromSeveralThreadsRunOnTheQueueEachThreadsInOrderAndFewerWakesThanTasks) {
    auto queue = SerialQueue::create("test.inbox");
    TaskInbox inbox(*queue);
    constexpr int kThreads = 4;
    constexpr int kTasks = 2000;
    std::vector<std::vector<int>> seen(kThreads);
    std::atomic<int> offQueue{0};
    // Held until every task is posted: all of them gather behind one run.
    std::promise<void> posted;
    queue->async([done = posted.get_future().share()] { done.wait(); });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasks; ++i)
                inbox.post([&, t, i] {
                    if (!queue->runsOnCurrentQueue()) ++offQueue;
                    seen[t].push_back(i);
                });
        });
    for (auto& thread : threads) thread.join();
    EXPECT_LE(queue->pendingCount(), 2u) << "the held task and one run of the inbox";
    posted.set_value();
    queue->drain();
    EXPECT_EQ(offQueue, 0);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kTasks));
        for (int i = 0; i < kTasks; ++i) ASSERT_EQ(seen[t][i], i) << "thread " << t;
    }
    // A task posted by a task of the inbox runs in a later batch. The queue
    // is held until both are posted, so that they make one batch.
    std::vector<int> order;
    std::promise<void> bothPosted;
    queue->async([done = bothPosted.get_future().share()] { done.wait(); });
    inbox.post([&] {
        order.push_back(1);
        inbox.post([&] { order.push_back(3); });
    });
    inbox.post([&] { order.push_back(2); });
    bothPosted.set_value();
    queue->drain();
    queue->drain();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace kestrane::platform
