#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace kestrane {

class ExcludeTreeCheckerByRootNode;
class ExcludeTreeNode;

// Builds the exclusion tree: the creation step adds excluded and included
// absolute paths, then every node that was not set takes the value of the
// nearest set node above it, and the tree is handed to a root checker. The
// factory lives only while the tree is built.
class ExcludeTreeFactory {
public:
    using Creation = std::function<void(ExcludeTreeFactory&)>;

    static std::shared_ptr<const ExcludeTreeCheckerByRootNode> generateWithCreation(const Creation& creation);

    // Marks the node of the absolute path excluded / included (a later call
    // for the same path wins). A path that does not start with "/" is ignored.
    void excludeURL(std::string_view path);
    void includeURL(std::string_view path);

    ExcludeTreeFactory(const ExcludeTreeFactory&) = delete;
    ExcludeTreeFactory& operator=(const ExcludeTreeFactory&) = delete;

private:
    ExcludeTreeFactory();
    void addPathWithValue(std::string_view path, int value);

    std::shared_ptr<ExcludeTreeNode> m_root;
};

}  // namespace kestrane
