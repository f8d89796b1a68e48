#pragma once

#include "scan/ObjectWorkerCore.h"

#include <memory>
#include <string>

namespace kestrane {

class ExcludeTreeChecker;
class FolderSystemItem;

// One folder to read: its path, the item that receives its entries, and the
// exclusion checker of the folder.
struct FolderScanTask final : ObjectTask {
    FolderScanTask(std::string path, FolderSystemItem* item, std::shared_ptr<const ExcludeTreeChecker> excludeChecker)
        : path(std::move(path)), item(item), excludeChecker(std::move(excludeChecker)) {}

    std::string path;
    FolderSystemItem* item;
    std::shared_ptr<const ExcludeTreeChecker> excludeChecker;
};

}  // namespace kestrane
