#pragma once

#include <atomic>
#include <chrono>
#include <memory>

namespace kestrane::platform {

// The time as the core reads it wherever time decides what happens: the time
// limit of an automatic search, the spacing of progress reports. Steady time
// (it never goes back and ignores changes of the system clock). Objects take
// a clock when they are made or before they start, the real one unless told
// otherwise; time that is only measured for statistics (stage durations)
// reads std::chrono::steady_clock directly.
class Clock {
public:
    using duration = std::chrono::steady_clock::duration;
    using time_point = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual time_point now() const = 0;

    // The real steady clock; one for the process, never destroyed.
    static const std::shared_ptr<const Clock>& steady();
};

// A clock that stands still until it is advanced: tests move time on instead
// of waiting for it. Read and advanced from any thread.
class ManualClock final : public Clock {
public:
    time_point now() const override { return time_point(duration(m_ticks.load())); }
    void advance(duration by) { m_ticks.fetch_add(by.count()); }

private:
    // Well away from the epoch, like a real steady clock.
    std::atomic<duration::rep> m_ticks{std::chrono::duration_cast<duration>(std::chrono::hours(1)).count()};
};

}  // namespace kestrane::platform
