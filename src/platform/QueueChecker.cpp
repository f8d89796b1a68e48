#include "platform/QueueChecker.h"

#include <cstdio>
#include <cstdlib>

namespace kestrane::platform {

#ifndef NDEBUG
const char* QueueChecker::label() const {
    const DispatchQueue* queue = m_queue.load(std::memory_order_acquire);
    return queue != nullptr ? queue->label().c_str() : "";
}
#endif

void queueCheckFailed([[maybe_unused]] const QueueChecker& checker, const char* file, int line) {
#ifndef NDEBUG
    std::fprintf(stderr, "%s:%d: called off its queue \"%s\"\n", file, line, checker.label());
#else
    std::fprintf(stderr, "%s:%d: called off its queue\n", file, line);
#endif
    std::abort();
}

void queueCheckFailed(const DispatchQueue& queue, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: called off its queue \"%s\"\n", file, line, queue.label().c_str());
    std::abort();
}

}  // namespace kestrane::platform
