#pragma once

#include <atomic>
#include <cstdint>

namespace kestrane {

// Counts, for the messages that follow a selection command, how the
// selection rules decided. Process-wide; the selection commands run on the
// main queue, but the counters are atomic so that reading them elsewhere is
// no data race.
class DuplicateItemActionsStatistics {
public:
    static DuplicateItemActionsStatistics& shared();

    // How often, since the last clearInfo, the never-select list decided
    // that a copy is never to be selected.
    std::uint64_t countOfNeverSelectListWasUsed() const {
        return m_neverSelectListUsed.load(std::memory_order_relaxed);
    }
    void onNeverSelectListWasUsed() { m_neverSelectListUsed.fetch_add(1, std::memory_order_relaxed); }
    void clearInfo() { m_neverSelectListUsed.store(0, std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> m_neverSelectListUsed{0};
};

}  // namespace kestrane
