#include "scan/ObjectWorkersController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <thread>

using namespace std::chrono_literals;

namespace kestrane {
namespace {

// A task that stands for a node of a generated tree: processing it produces
// one sub-task per child.
struct NodeTask : ObjectTask {
    explicit NodeTask(int id) : id(id) {}
    int id;
};

struct Record {
    std::mutex mutex;
    std::multiset<int> processed;
    std::set<std::thread::id> threads;
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
};

// Node n has children 4n+1 .. 4n+4 while they are below the limit.
class TreeCore : public ObjectWorkerCore {
public:
    TreeCore(Record& record, int limit, std::chrono::microseconds work) : m_record(record), m_limit(limit), m_work(work) {}

    void processTaskWithSubtaskCreatorAndCompletion(std::unique_ptr<ObjectTask> task, SubtaskCreator creator,
                                                    Completion completion) override {
        const int now = ++m_record.running;
        int seen = m_record.peak.load();
        while (now > seen && !m_record.peak.compare_exchange_weak(seen, now)) {
        }
        const int id = static_cast<NodeTask&>(*task).id;
        {
            std::lock_guard lock(m_record.mutex);
            m_record.processed.insert(id);
            m_record.threads.insert(std::this_thread::get_id());
        }
        std::this_thread::sleep_for(m_work);
        for (int child = 4 * id + 1; child <= 4 * id + 4 && child < m_limit && !isCanceled(); ++child)
            creator(std::make_unique<NodeTask>(child));
        --m_record.running;
        completion();
    }

private:
    Record& m_record;
    int m_limit;
    std::chrono::microseconds m_work;
};

class TreeFactory : public ObjectTaskFactory {
public:
    TreeFactory(Record& record, int limit, std::chrono::microseconds work) : m_record(record), m_limit(limit), m_work(work) {}
    std::unique_ptr<ObjectWorkerCore> createWorker() override {
        return std::make_unique<TreeCore>(m_record, m_limit, m_work);
    }

private:
    Record& m_record;
    int m_limit;
    std::chrono::microseconds m_work;
};

ObjectWorkersController::Tasks rootTasks() {
    ObjectWorkersController::Tasks tasks;
    tasks.push_back(std::make_unique<NodeTask>(0));
    return tasks;
}

TEST(ObjectWorkersControllerTest, EveryTaskRunsExactlyOnceAcrossTheWorkersAndCompletionComesOnce) {
    Record record;
    const int limit = 3000;
    std::atomic<int> completions{0};
    std::promise<std::string> finished;
    auto controller = ObjectWorkersController::create(
        "Pool", std::make_shared<TreeFactory>(record, limit, 20us), 4, rootTasks(),
        [&](ObjectWorkersController& c) {
            if (++completions == 1) finished.set_value(c.name());
        });
    auto future = finished.get_future();
    ASSERT_EQ(future.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(future.get(), "Pool");
    controller->waitForWorkersToLeaveTheirTasks();

    std::lock_guard lock(record.mutex);
    ASSERT_EQ(record.processed.size(), static_cast<std::size_t>(limit));
    for (int id = 0; id < limit; ++id) EXPECT_EQ(record.processed.count(id), 1u) << "task " << id;
    EXPECT_GT(record.threads.size(), 1u);  // the work was shared
    EXPECT_LE(record.peak.load(), 4);
    EXPECT_EQ(completions.load(), 1);
}

TEST(ObjectWorkersControllerTest, CancelCompletesAtOnceAndStopsHandingOutTasks) {
    Record record;
    std::atomic<int> completions{0};
    std::promise<void> finished;
    auto controller = ObjectWorkersController::create(
        "Cancelled", std::make_shared<TreeFactory>(record, 1'000'000, 200us), 4, rootTasks(),
        [&](ObjectWorkersController&) {
            if (++completions == 1) finished.set_value();
        });
    std::this_thread::sleep_for(10ms);
    controller->cancel();
    ASSERT_EQ(finished.get_future().wait_for(10s), std::future_status::ready);
    controller->waitForWorkersToLeaveTheirTasks();
    std::size_t processedAtCancel;
    {
        std::lock_guard lock(record.mutex);
        processedAtCancel = record.processed.size();
    }
    std::this_thread::sleep_for(20ms);
    std::lock_guard lock(record.mutex);
    EXPECT_EQ(record.processed.size(), processedAtCancel);  // nothing more after the workers left
    EXPECT_LT(processedAtCancel, 1'000'000u);
    EXPECT_TRUE(controller->isCanceled());
    EXPECT_EQ(completions.load(), 1);
}

TEST(ObjectWorkersControllerTest, NoTasksCompletesRightAway) {
    Record record;
    std::promise<void> finished;
    auto controller = ObjectWorkersController::create("Empty", std::make_shared<TreeFactory>(record, 10, 0us), 4, {},
                                                      [&](ObjectWorkersController&) { finished.set_value(); });
    EXPECT_EQ(finished.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(record.processed.empty());
}

TEST(ObjectWorkerCoreDeathTest, BaseCoreMustBeOverridden) {
    ObjectWorkerCore core;
    EXPECT_DEATH(core.processTaskWithSubtaskCreatorAndCompletion(nullptr, nullptr, nullptr),
                 "You must override processTaskWithSubtaskCreatorAndCompletion in a subclass");
}

}  // namespace
}  // namespace kestrane
