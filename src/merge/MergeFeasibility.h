#pragma once

#include "merge/MergeOperationOptions.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The check a merge passes before any file operation runs: both folders
// exist and are folders, the destination can be written, and for a move the
// source too (a copy only reads it). The message of the first check that
// fails, or none.
//
// In order: the destination exists, the source exists, the destination is
// not on a read-only NTFS volume, nor on another read-only volume, and (for a
// move) the same of the source; then, beyond those, that each folder that is
// written can be written by this user (its permission bits). Volumes come
// from platform::volumeInfoProvider(), so tests can present read-only and
// NTFS volumes.
class MergeFeasibility {
public:
    static std::optional<std::string> check(const std::string& sourcePath, const std::string& destinationPath,
                                            std::optional<MergeAction> action);

    // The messages, exactly; the name is the folder's last path component.
    static std::string destinationMissing(std::string_view name);
    static std::string sourceMissing(std::string_view name);
    static std::string destinationReadOnly(std::string_view name);
    static std::string destinationReadOnlyNtfs(std::string_view name);
    static std::string sourceReadOnly(std::string_view name);
    static std::string sourceReadOnlyNtfs(std::string_view name);
    static std::string destinationNotWritable(std::string_view name);
    static std::string sourceNotWritable(std::string_view name);
};

}  // namespace kestrane
