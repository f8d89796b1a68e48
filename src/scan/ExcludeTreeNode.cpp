#include "scan/ExcludeTreeNode.h"

#include "scan/ExcludeTreeChecker.h"

#include <utility>

namespace kestrane {

ExcludeTreeNode::ExcludeTreeNode(std::string name)
    : m_name(std::move(name)), m_value(ExcludeTreeChecker::NotSet) {}

const ExcludeTreeNode* ExcludeTreeNode::childWithName(std::string_view name) const {
    const auto it = m_children.find(name);
    return it == m_children.end() ? nullptr : it->second.get();
}

ExcludeTreeNode& ExcludeTreeNode::childCreatingIfMissing(std::string_view name) {
    auto it = m_children.find(name);
    if (it == m_children.end()) {
        std::string key(name);
        auto child = std::make_unique<ExcludeTreeNode>(key);
        it = m_children.emplace(std::move(key), std::move(child)).first;
    }
    return *it->second;
}

std::optional<std::vector<std::string_view>> ExcludeTreeNode::componentsOfAbsolutePath(std::string_view path) {
    if (path.empty() || path.front() != '/') return std::nullopt;
    std::vector<std::string_view> components;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

void ExcludeTreeNode::settleChildren() {
    // Iterative, so that a very deep added path cannot exhaust the stack.
    std::vector<ExcludeTreeNode*> pending{this};
    while (!pending.empty()) {
        ExcludeTreeNode* node = pending.back();
        pending.pop_back();
        for (auto& [name, child] : node->m_children) {
            if (child->m_value == ExcludeTreeChecker::NotSet) child->m_value = node->m_value;
            pending.push_back(child.get());
        }
    }
}

}  // namespace kestrane
