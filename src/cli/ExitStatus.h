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
    kExitNotAllRemoved = 5,   // remove: some selected copies were not removed (failed, declined, or kept by the checks)
    kExitNotConfirmed = 6,    // remove: the removal was not confirmed (--no, or no terminal without --yes); nothing was removed
    kExitInterrupted = 130,  // interrupted twice: stopped at once, no report
};

}  // namespace kestrane::cli
