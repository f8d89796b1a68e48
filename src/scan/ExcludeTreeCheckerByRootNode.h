#pragma once

#include "scan/ExcludeTreeCheckerByNode.h"

#include <string_view>

namespace kestrane {

// The checker on the root ("/") of the exclusion tree; it owns the tree.
// Gives the checker of any absolute folder path, which is where the scan of
// a top folder starts.
class ExcludeTreeCheckerByRootNode final : public ExcludeTreeCheckerByNode {
public:
    explicit ExcludeTreeCheckerByRootNode(std::shared_ptr<const ExcludeTreeNode> root);

    // The checker reached from the root through subCheckerByName() for each
    // component of the absolute path (empty components are skipped). For a
    // path that is not absolute (or empty): the root checker itself.
    std::shared_ptr<const ExcludeTreeChecker> subCheckerByURL(std::string_view path) const;
};

}  // namespace kestrane
