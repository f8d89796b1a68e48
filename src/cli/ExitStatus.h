#pragma once

namespace kestrane::cli {

// The exit statuses of the kestrane command (documented in its manual page).
enum ExitStatus : int {
    kExitSuccess = 0,        // done; also a scan that found nothing
    kExitFailure = 1,        // the work could not be done (a report or preferences file could not be written)
    kExitUsage = 2,          // unknown command or option, bad value, unknown preference key
    kExitBadFolder = 3,      // a named folder does not exist, is not a folder or cannot be read
    kExitNothingToScan = 4,  // every folder was left out (skip list, read-only volume, backups)
    kExitNotAllRestored = 5,  // restore: some of the files asked for could not be restored
    kExitInterrupted = 130,  // interrupted twice: stopped at once, no report
};

}  // namespace kestrane::cli
