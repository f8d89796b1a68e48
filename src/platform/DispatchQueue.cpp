#include "platform/DispatchQueue.h"

#include <future>

namespace kestrane::platform {

void DispatchQueue::sync(const Task& task) {
    if (runsOnCurrentQueue()) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    async([&] {
        task();
        done.set_value();
    });
    finished.wait();
}

}  // namespace kestrane::platform
