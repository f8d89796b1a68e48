#include "platform/Clock.h"

#include "platform/NoDestructor.h"

namespace kestrane::platform {

namespace {

class SteadyClock final : public Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace

const std::shared_ptr<const Clock>& Clock::steady() {
    static NoDestructor<const std::shared_ptr<const Clock>> clock(std::make_shared<SteadyClock>());
    return *clock;
}

}  // namespace kestrane::platform
