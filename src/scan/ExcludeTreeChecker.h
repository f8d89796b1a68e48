#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace kestrane {

// Answers, for one folder being read, whether a name inside it is excluded,
// and gives the checker of a sub-folder without building its path. The scan
// walks the checkers in step with the directory tree: each folder task holds
// the checker of its folder and hands subCheckerByName(name) to the task of
// each sub-folder.
//
// A checker is a small value: a place in an exclusion tree
// (ExcludeTreeCheckerByRootNode), or, below the deepest node of the tree, the
// one value that applies to every name there. It points into the tree without
// owning it: whoever walks with it keeps the tree (the folder scanner does
// for as long as its workers read). The tree never changes once built, so
// checkers are shared between the scan workers without locks.
class ExcludeTreeChecker {
public:
    // The answers of checkName(): only Excluded keeps an entry out of the scan.
    static constexpr int Included = 0;
    static constexpr int Excluded = 1;
    static constexpr int NotSet = 2;

    // One path component of the tree. Once the tree is built, each node
    // carries the value of the nearest node set at or above it.
    struct Node {
        int value = NotSet;
        std::map<std::string, std::unique_ptr<Node>, std::less<>> children;
        const Node* child(std::string_view name) const;
    };

    // The checker that answers NotSet for everything.
    ExcludeTreeChecker() = default;
    // The checker of the node: a node without children answers its value for
    // every name, at every depth.
    static ExcludeTreeChecker forNode(const Node& node);

    // The value that applies to the entry with this name inside the folder:
    // that of the child of that name, or the folder's own.
    int checkName(std::string_view name) const;
    // The checker of the sub-folder with this name.
    ExcludeTreeChecker subCheckerByName(std::string_view name) const;

private:
    ExcludeTreeChecker(const Node* node, int value) : m_node(node), m_value(value) {}

    const Node* m_node = nullptr;  // none: m_value for every name below
    int m_value = NotSet;
};

}  // namespace kestrane
