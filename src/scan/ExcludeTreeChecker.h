#pragma once

#include <memory>
#include <string_view>

namespace kestrane {

// Answers, for one folder being read, whether a name inside it is excluded,
// and gives the checker of a sub-folder without building its path. The scan
// walks the checkers in step with the directory tree: each folder task holds
// the checker of its folder and hands subCheckerByName(name) to the task of
// each sub-folder.
//
// Checkers are immutable once made and are shared between the scan workers
// without locks. They are always held by std::shared_ptr (a checker may hand
// out itself).
class ExcludeTreeChecker : public std::enable_shared_from_this<ExcludeTreeChecker> {
public:
    // The answers of checkName(): only Excluded keeps an entry out of the scan.
    static constexpr int Included = 0;
    static constexpr int Excluded = 1;
    static constexpr int NotSet = 2;

    virtual ~ExcludeTreeChecker() = default;

    // The value that applies to the entry with this name inside the folder.
    virtual int checkName(std::string_view name) const = 0;
    // The checker of the sub-folder with this name. Never null.
    virtual std::shared_ptr<const ExcludeTreeChecker> subCheckerByName(std::string_view name) const = 0;

protected:
    ExcludeTreeChecker() = default;
    ExcludeTreeChecker(const ExcludeTreeChecker&) = default;
    ExcludeTreeChecker& operator=(const ExcludeTreeChecker&) = default;
};

}  // namespace kestrane
