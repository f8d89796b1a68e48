#include "scan/ObjectWorker.h"

#include "platform/SerialQueue.h"

#include <utility>

namespace kestrane {

ObjectWorker::ObjectWorker(std::string name, std::unique_ptr<ObjectWorkerCore> core, CreateBlock createBlock,
                           CompletionBlock completion)
    : _name(std::move(name)),
      _workQueue(platform::SerialQueue::create(_name)),
      _worker(std::move(core)),
      _createBlock(std::move(createBlock)),
      _completion(std::move(completion)) {}

ObjectWorker::~ObjectWorker() = default;

void ObjectWorker::processTask(std::unique_ptr<ObjectTask> task) {
    // The task is moved through a shared holder because queued functions must be copyable.
    auto holder = std::make_shared<std::unique_ptr<ObjectTask>>(std::move(task));
    _workQueue->async([self = shared_from_this(), holder] {
        if (!self->_worker) {
            self->complete();
            return;
        }
        ObjectWorker* worker = self.get();  // alive for the whole call: self is held by this task
        worker->_worker->processTaskWithSubtaskCreatorAndCompletion(
            std::move(*holder), [worker](std::unique_ptr<ObjectTask> sub) { worker->addSubTask(std::move(sub)); },
            [worker] { worker->complete(); });
    });
}

void ObjectWorker::addSubTask(std::unique_ptr<ObjectTask> task) {
    _subTasks.push_back(std::move(task));
    if (_subTasks.size() >= kMaxLengthOfSubtasksBunch) _createBlock(*this, std::exchange(_subTasks, {}));
}

void ObjectWorker::complete() {
    if (!_subTasks.empty()) _createBlock(*this, std::exchange(_subTasks, {}));
    _completion(*this);
}

void ObjectWorker::cancel() {
    if (_worker) _worker->cancel();
}

bool ObjectWorker::isCanceled() const {
    return _worker && _worker->isCanceled();
}

void ObjectWorker::waitUntilIdle() {
    _workQueue->drain();
}

}  // namespace kestrane
