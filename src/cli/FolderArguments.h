#pragma once

#include <string>
#include <vector>

namespace kestrane::cli {

// The folder a path given on the command line names, as the kernel finds it:
// symbolic links and ".." resolved (realpath), as the scan resolves every
// chosen folder, so that reports, questions and the recent folders name the
// folder whose files are listed. A path that cannot be resolved is only made
// absolute, to be named in the message that says why.
std::string absolutePath(const std::string& path);

// A one-line reason why the folder cannot be scanned, or empty.
std::string folderProblem(const std::string& path);

// Whether the absolute path is one of the folders or lies inside one (whole
// path components compared, byte for byte).
bool isSameOrInside(const std::string& path, const std::vector<std::string>& folders);

}  // namespace kestrane::cli
