#pragma once

#include "scan/ExcludeTreeChecker.h"

#include <memory>

namespace kestrane {

class ExcludeTreeNode;

// A checker on one node of the exclusion tree: a name answers the value of
// the child of that name, or the node's own value when there is no such
// child.
class ExcludeTreeCheckerByNode : public ExcludeTreeChecker {
public:
    // The pointer keeps the whole tree alive: for a node below the root it
    // shares ownership with the root (an aliasing shared_ptr).
    explicit ExcludeTreeCheckerByNode(std::shared_ptr<const ExcludeTreeNode> node);

    const ExcludeTreeNode& node() const { return *m_node; }

    int checkName(std::string_view name) const override;
    // A by-node checker on the child of that name when it has children of its
    // own; otherwise (a leaf child, or no child of that name) the shared
    // with-value checker of the value that applies there, which answers the
    // same for every name below.
    std::shared_ptr<const ExcludeTreeChecker> subCheckerByName(std::string_view name) const override;

protected:
    // The checker for a node of this tree reached from m_node (possibly m_node itself).
    std::shared_ptr<const ExcludeTreeChecker> checkerForNode(const ExcludeTreeNode& node) const;

    std::shared_ptr<const ExcludeTreeNode> m_node;
};

}  // namespace kestrane
