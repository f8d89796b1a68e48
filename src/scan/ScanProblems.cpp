#include "scan/ScanProblems.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace kestrane {

std::string_view scanProblemKindKey(ScanProblemKind kind) {
    static constexpr std::array<std::string_view, kScanProblemKindCount> kKeys = {
        "unreadable-folder", "partly-read-folder", "unreadable-file", "changed-file",
        "mount-not-entered", "same-folder",        "hidden-folder",   "excluded-folder",
    };
    const auto index = static_cast<std::size_t>(kind);
    return index < kKeys.size() ? kKeys[index] : std::string_view("unknown");
}

void ScanProblems::add(std::string path, ScanProblemKind kind, int error) {
    const std::lock_guard lock(m_mutex);
    m_problems.push_back({std::move(path), kind, error});
}

std::vector<ScanProblem> ScanProblems::list() const {
    std::vector<ScanProblem> problems;
    {
        const std::lock_guard lock(m_mutex);
        problems = m_problems;
    }
    std::sort(problems.begin(), problems.end(), [](const ScanProblem& a, const ScanProblem& b) {
        return std::tie(a.kind, a.path) < std::tie(b.kind, b.path);
    });
    return problems;
}

std::size_t ScanProblems::count(ScanProblemKind kind) const {
    const std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(
        std::count_if(m_problems.begin(), m_problems.end(), [kind](const ScanProblem& p) { return p.kind == kind; }));
}

std::size_t ScanProblems::size() const {
    const std::lock_guard lock(m_mutex);
    return m_problems.size();
}

}  // namespace kestrane
