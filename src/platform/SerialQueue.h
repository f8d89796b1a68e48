#pragma once

#include "platform/DispatchQueue.h"

#include <memory>

namespace kestrane::platform {

// A named queue that runs its tasks one at a time, in the order they were
// queued, on a thread of its own (started with the first task).
//
// Destroying the queue runs every task already queued before the thread ends:
// no work is lost. When the last owner lets go of the queue from inside one
// of its own tasks, the thread finishes the queue on its own.
class SerialQueue final : public DispatchQueue {
public:
    static std::shared_ptr<SerialQueue> create(std::string label);
    explicit SerialQueue(std::string label);
    ~SerialQueue() override;

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(Task task) override;
    bool runsOnCurrentQueue() const override;
    const std::string& label() const override;

    // Waits until every task queued so far has run.
    void drain();
    std::size_t pendingCount() const;

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> m_state;
};

}  // namespace kestrane::platform
