#pragma once

#include "merge/MergeOperationResult.h"
#include "platform/FileFacts.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kestrane {

// One move or copy of a merge: an item of the source folder into the
// destination folder. Plain values, so that it runs on any thread.
struct MergeFileTask {
    MergeAction action = MergeAction::Copy;
    std::string sourceFolder;       // the folder that holds the item
    std::string name;               // the item's name there
    std::string destinationFolder;  // where it goes
    bool isFolder = false;
    // The facts of the item when the merge was prepared; none when it could
    // not be examined then (it is not touched).
    std::optional<platform::FileFacts> seen;
    std::uint64_t size = 0;  // bytes, for progress
    int colorTag = 0;        // see MergeOperationOptions

    std::string sourcePath() const;
};

// How one task ended.
struct MergeFileOutcome {
    FileOperationResult result;
    // Where the item now is in the destination (or was to go, on failure).
    std::string destinationPath;
    // Something now stands at destinationPath because of this task: the item
    // itself (moved by a rename) or a complete copy of it.
    bool arrived = false;
    // The original is gone from the source folder (a move).
    bool originalRemoved = false;
    // Stopped before anything changed.
    bool cancelled = false;
};

// Performs one task, never losing or replacing anything:
//
//  - Every folder is reached from "/" without following a symbolic link, and
//    the item is handled relative to its open folders.
//  - The item must still be what the merge saw (same file, same size and
//    modification time; for a folder, the same folder): a file changed since
//    is left in place and the task fails.
//  - The name in the destination follows MergeNaming; a name taken by the
//    time the item is put in place leads to the next free one, because
//    every name is claimed with renameat2(RENAME_NOREPLACE) (or, where a file
//    system lacks it, a hard link, which never replaces either).
//  - A move within one file system is that rename. Across file systems, and
//    for a copy, the item is copied under a hidden temporary name in the
//    destination folder (".NAME.kestrane-XXXXXX": content, permission bits,
//    times; owner too when run as root; links copied as links), every file
//    and folder of the copy is synced, the copy is renamed into place, and
//    only then, for a move, the original is removed, each file only when it
//    is still the file that was copied (a file added meanwhile stays, with
//    the folders that hold it). A file written to while it was copied makes
//    the copy void.
//  - Stopped (the flag) while copying, the temporary copy is removed and
//    nothing has changed. Killed, the worst left behind is the hidden
//    temporary copy: never a partial file under a real name, never a lost one.
//
// Devices, FIFOs and sockets are neither moved nor copied.
class MergeFileOperation {
public:
    // Bytes of the task copied so far; called from the performing thread.
    using Progress = std::function<void(std::uint64_t bytesDone)>;

    static MergeFileOutcome perform(const MergeFileTask& task, const std::atomic<bool>& stop,
                                    const Progress& progress = {});

    // The hidden name a copy is made under before it is put in place.
    static bool isTemporaryName(std::string_view name);
};

}  // namespace kestrane
