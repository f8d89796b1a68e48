#include "scan/ExcludeTreeCheckerByRootNode.h"

#include <vector>

namespace kestrane {

namespace {

// Calls visit(component) for each non-empty component of an absolute path;
// false (and no call) when the path does not start with "/".
template <typename Visit>
bool forEachComponent(std::string_view path, Visit&& visit) {
    if (path.empty() || path.front() != '/') return false;
    for (std::size_t start = 1; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) visit(path.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

}  // namespace

std::shared_ptr<const ExcludeTreeCheckerByRootNode> ExcludeTreeCheckerByRootNode::generateWithCreation(
    const Creation& creation) {
    auto tree = std::make_shared<ExcludeTreeCheckerByRootNode>(Key{});
    if (creation) creation(*tree);
    tree->settle();
    return tree;
}

void ExcludeTreeCheckerByRootNode::addPathWithValue(std::string_view path, int value) {
    ExcludeTreeChecker::Node* node = &m_root;
    const bool absolute = forEachComponent(path, [&](std::string_view name) {
        auto it = node->children.find(name);
        if (it == node->children.end())
            it = node->children.emplace(std::string(name), std::make_unique<ExcludeTreeChecker::Node>()).first;
        node = it->second.get();
    });
    if (absolute) node->value = value;
}

void ExcludeTreeCheckerByRootNode::settle() {
    // Top down, and without recursion, so that a very deep path cannot
    // exhaust the stack. The root keeps its own value.
    std::vector<ExcludeTreeChecker::Node*> pending{&m_root};
    while (!pending.empty()) {
        ExcludeTreeChecker::Node* node = pending.back();
        pending.pop_back();
        for (auto& [name, child] : node->children) {
            if (child->value == ExcludeTreeChecker::NotSet) child->value = node->value;
            pending.push_back(child.get());
        }
    }
}

ExcludeTreeChecker ExcludeTreeCheckerByRootNode::subCheckerByURL(std::string_view path) const {
    ExcludeTreeChecker checker = rootChecker();
    forEachComponent(path, [&](std::string_view name) { checker = checker.subCheckerByName(name); });
    return checker;
}

}  // namespace kestrane
