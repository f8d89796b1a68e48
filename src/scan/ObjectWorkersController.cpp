#include "scan/ObjectWorkersController.h"

#include "platform/SerialQueue.h"

#include <utility>

#include <cstdio>

namespace kestrane {

std::shared_ptr<ObjectWorkersController> ObjectWorkersController::create(
    std::string name, std::shared_ptr<ObjectTaskFactory> workerFactory, std::size_t countOfWorkers, Tasks tasks,
    Completion completion) {
    auto controller = std::make_shared<ObjectWorkersController>(Private{}, std::move(name), std::move(workerFactory),
                                                                std::move(tasks), std::move(completion));
    controller->_workQueue->async(
        [self = controller, countOfWorkers] { self->start(countOfWorkers); });
    return controller;
}

ObjectWorkersController::ObjectWorkersController(Private, std::string name,
                                                 std::shared_ptr<ObjectTaskFactory> factory, Tasks tasks,
                                                 Completion completion)
    : _name(std::move(name)),
      _workQueue(platform::SerialQueue::create(_name)),
      _queueChecker(*_workQueue),
      _factory(std::move(factory)),
      _tasks(std::move(tasks)),
      _completion(std::move(completion)) {}

ObjectWorkersController::~ObjectWorkersController() = default;

void ObjectWorkersController::start(std::size_t countOfWorkers) {
    KESTRANE_CHECK_QUEUE(_queueChecker);
    std::weak_ptr<ObjectWorkersController> weakSelf = weak_from_this();
    for (std::size_t i = 0; i < countOfWorkers; ++i) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "::w%zu", i);
        auto worker = std::make_shared<ObjectWorker>(
            _name + suffix, _factory ? _factory->createWorker() : nullptr,
            [weakSelf](ObjectWorker& w, Tasks subTasks) {
                if (auto self = weakSelf.lock()) self->onWorkerCreateSubTasks(w, std::move(subTasks));
            },
            [weakSelf](ObjectWorker& w) {
                if (auto self = weakSelf.lock()) self->onWorkerDone(w);
            });
        if (_isCanceled) worker->cancel();
        _sleepedWorkers.insert(worker.get());
        _workers.push_back(std::move(worker));
    }
    wakeSleepedWorkers();
    checkCompletion();
}

std::unique_ptr<ObjectTask> ObjectWorkersController::nextTask() {
    if (_tasks.empty() || _isCanceled) return nullptr;
    auto task = std::move(_tasks.back());
    _tasks.pop_back();
    return task;
}

void ObjectWorkersController::wakeSleepedWorkers() {
    while (!_sleepedWorkers.empty()) {
        auto task = nextTask();
        if (!task) break;
        ObjectWorker* worker = *_sleepedWorkers.begin();
        _sleepedWorkers.erase(_sleepedWorkers.begin());
        worker->processTask(std::move(task));
    }
}

void ObjectWorkersController::checkCompletion() {
    const bool allIdle = _sleepedWorkers.size() == _workers.size();
    if ((_tasks.empty() && allIdle) || _isCanceled) {
        if (auto completion = std::exchange(_completion, nullptr)) completion(*this);
    }
}

void ObjectWorkersController::onWorkerCreateSubTasks(ObjectWorker&, Tasks tasks) {
    _sharedTaskCount.fetch_add(tasks.size(), std::memory_order_relaxed);
    auto holder = std::make_shared<Tasks>(std::move(tasks));
    _workQueue->async([self = shared_from_this(), holder] {
        for (auto& task : *holder) self->_tasks.push_back(std::move(task));
        // Idle workers are woken the next time a worker reports done.
    });
}

void ObjectWorkersController::onWorkerDone(ObjectWorker& worker) {
    ObjectWorker* w = &worker;
    _workQueue->async([self = shared_from_this(), w] {
        if (auto task = self->nextTask()) {
            w->processTask(std::move(task));
            self->wakeSleepedWorkers();
        } else {
            self->_sleepedWorkers.insert(w);
        }
        self->checkCompletion();
    });
}

void ObjectWorkersController::cancel() {
    _workQueue->async([self = shared_from_this()] {
        self->_isCanceled = true;
        for (auto& worker : self->_workers) worker->cancel();
        self->checkCompletion();
    });
}

bool ObjectWorkersController::isCanceled() const {
    return _isCanceled;
}

void ObjectWorkersController::waitForWorkersToLeaveTheirTasks() {
    std::vector<std::shared_ptr<ObjectWorker>> workers;
    _workQueue->sync([&] { workers = _workers; });
    for (auto& worker : workers) worker->waitUntilIdle();
}

}  // namespace kestrane
