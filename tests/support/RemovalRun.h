#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrane::test {

// One file of a group of copies in a removal run made by a test.
struct RunFile {
    enum Fate { kept, trashed, deleted };
    std::string path;
    Fate fate;
};

// Records a removal run as the removal does, for real: every group
// described to the recorder (VaqLog) with each file's size, modification
// time and kind as they are now (group ids from 100 up), then each file to
// go moved to the Trash with this project's Trash module or deleted (a
// folder with everything in it), and reported. `date`, when not 0, is the
// moment the log is made. Fails the test when a step fails.
void recordRemovalRun(const std::vector<std::vector<RunFile>>& groups, std::int64_t date = 0);

}  // namespace kestrane::test
