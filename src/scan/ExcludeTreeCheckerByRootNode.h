#pragma once

#include "scan/ExcludeTreeChecker.h"

#include <functional>
#include <memory>
#include <string_view>

namespace kestrane {

// The exclusion tree of a scan, from the root "/": excluded and included
// absolute paths, each answering for itself and everything below it unless a
// deeper path says otherwise. Built once, read-only afterwards; it owns the
// nodes every checker taken from it points into.
class ExcludeTreeCheckerByRootNode {
public:
    using Creation = std::function<void(ExcludeTreeCheckerByRootNode&)>;

    // The creation step adds paths with excludeURL() and includeURL(); then
    // every node that was not set takes the value of the nearest set node
    // above it.
    static std::shared_ptr<const ExcludeTreeCheckerByRootNode> generateWithCreation(const Creation& creation);

    // Marks the absolute path excluded / included (a later call for the same
    // path wins). A path that does not start with "/" is ignored; empty
    // components ("//", a trailing "/") are skipped.
    void excludeURL(std::string_view path) { addPathWithValue(path, ExcludeTreeChecker::Excluded); }
    void includeURL(std::string_view path) { addPathWithValue(path, ExcludeTreeChecker::Included); }

    // The checker of the root folder.
    ExcludeTreeChecker rootChecker() const { return ExcludeTreeChecker::forNode(m_root); }
    // The checker reached from the root through subCheckerByName() for each
    // component of the absolute path; for a path that is not absolute (or
    // empty), the root's.
    ExcludeTreeChecker subCheckerByURL(std::string_view path) const;

private:
    struct Key {
        explicit Key() = default;
    };

public:
    explicit ExcludeTreeCheckerByRootNode(Key) {}

private:
    void addPathWithValue(std::string_view path, int value);
    void settle();

    ExcludeTreeChecker::Node m_root;
};

}  // namespace kestrane
