#pragma once

#include "platform/Error.h"

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

// What to look at before the source folder of a move goes.
struct SourceFolderRemovalRequest {
    std::string sourceFolder;
    std::string destinationFolder;
    // For a name in the source, the paths in the destination that the scan
    // found to be copies of it (under other names); the same name in the
    // destination is always looked at too.
    std::map<std::string, std::vector<std::string>> knownCopies;
};

struct SourceFolderOutcome {
    bool removed = false;
    std::string trashedPath;               // where the folder went, when it did
    std::vector<std::string> withoutCopy;  // names in the source with no identical copy in the destination
    std::optional<Error> error;            // why it was not removed, besides those names
};

// After a move, sends the source folder to the Trash, never anywhere else,
// and only when nothing in it would be lost: every entry left in it (the
// duplicates the merge did not move, files it failed to move, files the scan
// never saw, hidden ones included) has an identical copy in the destination
// at that moment. Identical, checked then and there:
//  - a file: a regular file in the destination that is not the same file
//    (device and inode) with the same bytes, compared in full;
//  - a symbolic link: a link with the same target;
//  - a folder: a folder holding, under the same names, an identical copy of
//    every entry in it (more in the destination's is fine);
//  - anything else (a device, a FIFO, a socket) has no copy.
// The copy looked for is the entry of the same name in the destination, or
// one the scan found to be a copy (knownCopies). Folders are reached without
// following symbolic links. Refused outright: a destination inside the
// source (it would go to the Trash with it).
class SourceFolderRemoval {
public:
    static SourceFolderOutcome run(const SourceFolderRemovalRequest& request, const std::atomic<bool>& stop);

    // Whether `copy` is an identical copy of `original` (the rules above).
    static bool isIdenticalCopy(const std::string& original, const std::string& copy);
};

}  // namespace kestrane
