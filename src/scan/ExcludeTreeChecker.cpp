#include "scan/ExcludeTreeChecker.h"

namespace kestrane {

const ExcludeTreeChecker::Node* ExcludeTreeChecker::Node::child(std::string_view name) const {
    const auto it = children.find(name);
    return it == children.end() ? nullptr : it->second.get();
}

ExcludeTreeChecker ExcludeTreeChecker::forNode(const Node& node) {
    return ExcludeTreeChecker(node.children.empty() ? nullptr : &node, node.value);
}

int ExcludeTreeChecker::checkName(std::string_view name) const {
    if (m_node == nullptr) return m_value;
    const Node* child = m_node->child(name);
    return child != nullptr ? child->value : m_node->value;
}

ExcludeTreeChecker ExcludeTreeChecker::subCheckerByName(std::string_view name) const {
    if (m_node == nullptr) return *this;
    const Node* child = m_node->child(name);
    return child != nullptr ? forNode(*child) : ExcludeTreeChecker(nullptr, m_node->value);
}

}  // namespace kestrane
