#include "scan/ExcludeTreeCheckerByNode.h"

#include "scan/ExcludeTreeCheckerWithValue.h"
#include "scan/ExcludeTreeNode.h"

#include <utility>

namespace kestrane {

ExcludeTreeCheckerByNode::ExcludeTreeCheckerByNode(std::shared_ptr<const ExcludeTreeNode> node)
    : m_node(std::move(node)) {}

int ExcludeTreeCheckerByNode::checkName(std::string_view name) const {
    const ExcludeTreeNode* child = m_node->childWithName(name);
    return child != nullptr ? child->value() : m_node->value();
}

std::shared_ptr<const ExcludeTreeChecker> ExcludeTreeCheckerByNode::subCheckerByName(std::string_view name) const {
    const ExcludeTreeNode* child = m_node->childWithName(name);
    if (child == nullptr) return ExcludeTreeCheckerWithValue::withValue(m_node->value());
    return checkerForNode(*child);
}

std::shared_ptr<const ExcludeTreeChecker> ExcludeTreeCheckerByNode::checkerForNode(const ExcludeTreeNode& node) const {
    // A node without children answers its own value for every name, at every depth.
    if (node.numberOfChildren() == 0) return ExcludeTreeCheckerWithValue::withValue(node.value());
    return std::make_shared<ExcludeTreeCheckerByNode>(std::shared_ptr<const ExcludeTreeNode>(m_node, &node));
}

}  // namespace kestrane
