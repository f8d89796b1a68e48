#pragma once

#include "cli/SelectionOptions.h"

#include <functional>
#include <memory>
#include <string>

namespace kestrane {
class DuplicatesContainer;
}

namespace kestrane::cli {

// The selection options that work on a folder of the scan (DIR must be a
// scanned folder or lie inside one; anything else is a usage error found
// before the scan).

// --keep-in DIR: DIR's files are kept (a favourite folder); their copies
// outside the favourite folders are selected.
std::unique_ptr<SelectionAction> makeKeepInAction(const SelectionOption& option, std::string value);
// --select-in DIR: the copies DIR holds whose group has copies outside it.
std::unique_ptr<SelectionAction> makeSelectInAction(const SelectionOption& option, std::string value);
// --select-similar DIR: DIR's side of each of its similar-folder pairs.
std::unique_ptr<SelectionAction> makeSelectSimilarAction(const SelectionOption& option, std::string value);

// Builds the folder tree of the result (unless it is the current one) and
// calls `then` on the main queue once it is there.
void withFolderTree(const std::shared_ptr<DuplicatesContainer>& container, std::function<void()> then);
// Builds the folder tree when needed and runs the main queue until its
// counters show the selection. Main thread.
void waitForFolderTree(const std::shared_ptr<DuplicatesContainer>& container);

}  // namespace kestrane::cli
