#pragma once

#include "platform/Error.h"

#include <optional>
#include <string>

namespace kestrane::platform {

// Removes what a path names, for good: a file, a symbolic link (never what it
// points to), or a folder with everything below it.
//
// A folder is emptied relative to its own open descriptor, level by level
// (openat/unlinkat on names read from the open folder), so a link inside it
// is removed as a link and never followed, and renaming a folder on the way
// cannot redirect the work elsewhere. The parent of the path is reached
// without following links either (OpenParent). Nothing on another file
// system is touched: a folder that is itself a mount point, or holds one
// anywhere below, is refused (EBUSY for the folder itself, EXDEV for one
// below, which is left in place with everything beside it already gone).
// The first failure ends the work and is returned with the path it concerns;
// what was removed before it stays removed.
std::optional<Error> removePermanently(const std::string& path);

// The same for `name` inside the open folder parentFd; pathForMessages names
// it in errors.
std::optional<Error> removePermanentlyAt(int parentFd, const char* name, const std::string& pathForMessages);

}  // namespace kestrane::platform
