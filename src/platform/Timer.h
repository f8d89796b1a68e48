#pragma once

#include "platform/DispatchQueue.h"

#include <chrono>
#include <memory>

namespace kestrane::platform {

// Calls a function on a queue (the main queue unless told otherwise) after an
// interval, once or repeatedly, until invalidated or destroyed. A repeating
// timer whose previous call has not run yet skips a beat instead of piling up
// calls on a busy queue.
class Timer {
public:
    static std::unique_ptr<Timer> scheduled(std::chrono::milliseconds interval, bool repeats, Task callback);
    static std::unique_ptr<Timer> scheduled(std::chrono::milliseconds interval, bool repeats, Task callback,
                                            DispatchQueue& queue);
    Timer(std::chrono::milliseconds interval, bool repeats, Task callback, DispatchQueue& queue);
    ~Timer();

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // After this returns the callback is not called again (a call already
    // running on another thread may still finish).
    void invalidate();
    bool isValid() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}  // namespace kestrane::platform
