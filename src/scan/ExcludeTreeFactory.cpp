#include "scan/ExcludeTreeFactory.h"

#include "scan/ExcludeTreeChecker.h"
#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/ExcludeTreeNode.h"

#include <utility>

namespace kestrane {

ExcludeTreeFactory::ExcludeTreeFactory() : m_root(std::make_shared<ExcludeTreeNode>("/")) {}

std::shared_ptr<const ExcludeTreeCheckerByRootNode> ExcludeTreeFactory::generateWithCreation(const Creation& creation) {
    ExcludeTreeFactory factory;
    if (creation) creation(factory);
    factory.m_root->settleChildren();
    return std::make_shared<ExcludeTreeCheckerByRootNode>(std::move(factory.m_root));
}

void ExcludeTreeFactory::excludeURL(std::string_view path) {
    addPathWithValue(path, ExcludeTreeChecker::Excluded);
}

void ExcludeTreeFactory::includeURL(std::string_view path) {
    addPathWithValue(path, ExcludeTreeChecker::Included);
}

void ExcludeTreeFactory::addPathWithValue(std::string_view path, int value) {
    const auto components = ExcludeTreeNode::componentsOfAbsolutePath(path);
    if (!components) return;
    ExcludeTreeNode* node = m_root.get();
    for (const std::string_view component : *components) node = &node->childCreatingIfMissing(component);
    node->setValue(value);
}

}  // namespace kestrane
