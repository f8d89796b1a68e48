#include "log/FolderNames.h"

#include <algorithm>
#include <dirent.h>

namespace kestrane {

std::vector<std::string> FolderNames::namesWithPrefix(const std::string& folder, std::string_view prefix) {
    std::lock_guard lock(m_mutex);
    auto found = m_names.find(folder);
    if (found == m_names.end()) {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string_view name = entry->d_name;
                if (name != "." && name != "..") names.emplace_back(name);
            }
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        found = m_names.emplace(folder, std::move(names)).first;
    }
    std::vector<std::string> matching;
    const auto& names = found->second;
    for (auto it = std::lower_bound(names.begin(), names.end(), prefix,
                                    [](const std::string& name, std::string_view p) { return name < p; });
         it != names.end() && it->starts_with(prefix); ++it)
        matching.push_back(*it);
    return matching;
}

void FolderNames::clear() {
    std::lock_guard lock(m_mutex);
    m_names.clear();
}

}  // namespace kestrane
