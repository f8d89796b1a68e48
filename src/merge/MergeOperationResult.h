#pragma once

#include "merge/MergeOperationOptions.h"
#include "platform/Error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class FileSystemItem;

// How one file operation of a merge ended.
struct FileOperationResult {
    enum class Kind : std::uint8_t { Failed, Unknown, Successful };
    Kind kind = Kind::Unknown;
    std::optional<Error> error;  // why it failed, when it did

    static FileOperationResult successful() { return {Kind::Successful, std::nullopt}; }
    static FileOperationResult failed(Error error) { return {Kind::Failed, std::move(error)}; }
    bool isSuccessful() const { return kind == Kind::Successful; }
    bool isFailed() const { return kind == Kind::Failed; }
};

// The planned operations of a merge and how they went so far: every planned
// operation is counted in totalCount and, once it ran, in exactly one of the
// successful and failed counts; those that never ran (the merge was
// cancelled) are not performed.
struct SubOperationsStatistics {
    std::uint64_t totalCount = 0;
    std::uint64_t countOfSuccessfullyPerformed = 0;
    std::uint64_t countOfFailed = 0;
    std::uint64_t countOfNotPerformed = 0;

    friend bool operator==(const SubOperationsStatistics&, const SubOperationsStatistics&) = default;
};

// One performed file operation.
struct MergeOperationResult {
    MergeAction action = MergeAction::Copy;
    // The scanned item the operation started from; for identity only (it is
    // not reached through this pointer off the main thread, and it may be
    // gone once the result has been brought into the result model).
    const FileSystemItem* originalFileSystemItem = nullptr;
    std::string originalURL;     // where it was
    std::string destinationURL;  // where it is now (or was to go, when it failed)
    FileOperationResult result;
    // A move across file systems copies first and removes the original last;
    // false when the original could not be removed (the operation then
    // counts as a copy).
    bool originalRemoved = false;
};

// What the performed operations report on the way.
struct MergeOperationProgressInfo {
    double sizeOfAllItems = 0;     // bytes of every planned operation
    double sizeOfMergedItems = 0;  // bytes done so far (of the file being copied too)
    // The operations that ended since the previous report.
    std::vector<MergeOperationResult> resultFromLastUpdate;
    SubOperationsStatistics operationsStatistics;
};

}  // namespace kestrane
