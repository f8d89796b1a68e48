#include "removal/RemovalPaths.h"

namespace kestrane {

bool RemovalPaths::covers(std::string_view path) const {
    std::string candidate(path);
    while (!candidate.empty()) {
        if (m_paths.contains(candidate)) return true;
        const std::size_t slash = candidate.find_last_of('/');
        if (slash == std::string::npos || slash == 0) break;
        candidate.resize(slash);
    }
    return m_paths.contains("/");
}

}  // namespace kestrane
