#include "scan/ExcludeTreeCheckerByRootNode.h"

#include "scan/ExcludeTreeCheckerWithValue.h"
#include "scan/ExcludeTreeNode.h"

#include <utility>

namespace kestrane {

ExcludeTreeCheckerByRootNode::ExcludeTreeCheckerByRootNode(std::shared_ptr<const ExcludeTreeNode> root)
    : ExcludeTreeCheckerByNode(std::move(root)) {}

std::shared_ptr<const ExcludeTreeChecker> ExcludeTreeCheckerByRootNode::subCheckerByURL(std::string_view path) const {
    const auto components = ExcludeTreeNode::componentsOfAbsolutePath(path);
    if (components && !components->empty()) {
        // Walk the nodes and make one checker at the end; the same answer as
        // following subCheckerByName() component by component.
        const ExcludeTreeNode* node = m_node.get();
        for (const std::string_view component : *components) {
            const ExcludeTreeNode* child = node->childWithName(component);
            if (child == nullptr) return ExcludeTreeCheckerWithValue::withValue(node->value());
            node = child;
        }
        return checkerForNode(*node);
    }
    if (auto self = weak_from_this().lock()) return self;
    return std::make_shared<ExcludeTreeCheckerByRootNode>(m_node);
}

}  // namespace kestrane
