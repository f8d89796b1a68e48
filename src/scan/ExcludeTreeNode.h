#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// One path component of the exclusion tree. The root node is named "/".
// A node's value is one of ExcludeTreeChecker::Included, Excluded or NotSet;
// a new node is NotSet. The tree is changed only while it is built
// (ExcludeTreeFactory) and is read-only afterwards.
class ExcludeTreeNode {
public:
    explicit ExcludeTreeNode(std::string name);

    ExcludeTreeNode(const ExcludeTreeNode&) = delete;
    ExcludeTreeNode& operator=(const ExcludeTreeNode&) = delete;

    const std::string& name() const { return m_name; }
    int value() const { return m_value; }
    void setValue(int value) { m_value = value; }

    // The child with this name, or null.
    const ExcludeTreeNode* childWithName(std::string_view name) const;
    // The child with this name, made (NotSet) when missing.
    ExcludeTreeNode& childCreatingIfMissing(std::string_view name);
    std::size_t numberOfChildren() const { return m_children.size(); }

    // The components of an absolute path below "/", in order ("/a//b/" gives
    // a and b: empty components are skipped); no value when the path does not
    // start with "/". The views point into the given path.
    static std::optional<std::vector<std::string_view>> componentsOfAbsolutePath(std::string_view path);

    // Gives every NotSet node below this one the value of its parent, from
    // the top down, so that each node carries the value of the nearest set
    // node at or above it. This node's own value is left as it is.
    void settleChildren();

private:
    std::string m_name;
    int m_value;
    std::map<std::string, std::unique_ptr<ExcludeTreeNode>, std::less<>> m_children;
};

}  // namespace kestrane
