#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace kestrane {

// The paths a removal run takes away: a kept copy must lie outside all of
// them. Folders stand for everything below them.
class RemovalPaths {
public:
    void add(std::string path) { m_paths.insert(std::move(path)); }
    // Whether the path is one of them or lies below one of them.
    bool covers(std::string_view path) const;
    std::size_t size() const { return m_paths.size(); }

private:
    std::unordered_set<std::string> m_paths;
};

}  // namespace kestrane
