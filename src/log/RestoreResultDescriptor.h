#pragma once

#include <cstdint>
#include <string>

namespace kestrane {

// The counts of one restore and the sentence that sums them up.
class RestoreResultDescriptor {
public:
    // initWithTotalItemsCount:alreadyFailedToRestoreItemsCount:
    RestoreResultDescriptor(std::int64_t totalItemsCount, std::int64_t alreadyFailedCount)
        : m_totalItemsCount(totalItemsCount), m_failedItemsCount(alreadyFailedCount) {}

    void itemHasSuccessfullyRestored() { ++m_successfullyRestoredItemsCount; }
    void itemHasFailedToRestore() { ++m_failedItemsCount; }

    std::int64_t totalItemsCount() const { return m_totalItemsCount; }
    std::int64_t successfullyRestoredItemsCount() const { return m_successfullyRestoredItemsCount; }
    std::int64_t failedItemsCount() const { return m_failedItemsCount; }

    // "2 files were restored successfully. 1 file could not be restored."
    // (either part only when its count is above 0; empty when both are 0).
    std::string resultDescription() const;

private:
    std::int64_t m_totalItemsCount;
    std::int64_t m_successfullyRestoredItemsCount = 0;
    std::int64_t m_failedItemsCount;
};

}  // namespace kestrane
