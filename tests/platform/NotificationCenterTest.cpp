#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using kestrane::platform::MainQueue;
using kestrane::platform::Notification;
using kestrane::platform::NotificationCenter;
using kestrane::platform::SerialQueue;

namespace {

TEST(NotificationCenterTest, DeliversByNameWithPayloadAndObject) {
    auto& center = NotificationCenter::defaultCenter();
    std::vector<std::string> seen;
    int sender = 0;
    const void* seenObject = nullptr;
    auto named = center.addObserver("Test.A", [&](const Notification& n) {
        seen.push_back(n.name + ":" + std::any_cast<std::string>(n.userInfo.at("word")));
        seenObject = n.object;
    });
    auto all = center.addObserver("", [&](const Notification& n) { seen.push_back("all:" + n.name); });

    center.post("Test.A", {{"word", std::string("hello")}}, &sender);
    center.post("Test.B");

    EXPECT_EQ(seen, (std::vector<std::string>{"Test.A:hello", "all:Test.A", "all:Test.B"}));
    EXPECT_EQ(seenObject, &sender);
}

TEST(NotificationCenterTest, PostsFromOtherThreadsReachObserversOnTheMainThread) {
    auto& center = NotificationCenter::defaultCenter();
    int count = 0;
    bool onMain = true;
    auto observation = center.addObserver("Test.Background", [&](const Notification&) {
        ++count;
        onMain = onMain && MainQueue::isMainThread();
    });
    auto queue = SerialQueue::create("test.notifier");
    for (int i = 0; i < 5; ++i) queue->async([&] { center.post("Test.Background"); });
    queue->drain();
    EXPECT_EQ(count, 0);  // nothing is delivered until the main queue runs
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return count == 5; }, 5s));
    EXPECT_TRUE(onMain);
}

TEST(NotificationCenterTest, RemovedObserversAreNotCalled) {
    auto& center = NotificationCenter::defaultCenter();
    int first = 0;
    int second = 0;
    std::unique_ptr<NotificationCenter::Observation> secondObservation;
    auto firstObservation = center.addObserver("Test.Remove", [&](const Notification&) {
        ++first;
        secondObservation.reset();  // an observer may remove another during delivery
    });
    secondObservation = center.addObserver("Test.Remove", [&](const Notification&) { ++second; });
    center.post("Test.Remove");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);

    // A notification queued from another thread is dropped if its observer goes first.
    auto queue = SerialQueue::create("test.late");
    queue->sync([&] { center.post("Test.Remove"); });
    firstObservation.reset();
    MainQueue::shared().runPending();
    EXPECT_EQ(first, 1);
}

}  // namespace
