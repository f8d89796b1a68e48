#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// The names in folders, read once and kept until cleared: finding the
// restored copies of ten thousand files removed from one big folder lists
// that folder once, not ten thousand times. Thread-safe. A history clears it
// whenever a restore may have changed what the folders hold.
class FolderNames {
public:
    // The names in `folder` (not descending) that begin with `prefix`, in
    // byte order; none when the folder cannot be read.
    std::vector<std::string> namesWithPrefix(const std::string& folder, std::string_view prefix);
    void clear();

private:
    std::mutex m_mutex;
    std::map<std::string, std::vector<std::string>> m_names;  // sorted names per folder
};

}  // namespace kestrane
