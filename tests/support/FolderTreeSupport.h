#pragma once

#include "folders/FSFolder.h"
#include "folders/FSFolderManager.h"
#include "scan/FolderSystemItem.h"
#include "support/TestSupport.h"

#include <memory>

namespace kestrane::test {

// Builds the folder tree of the result and runs the main queue until its
// first count is done.
inline void buildFolderTree(const std::shared_ptr<DuplicatesContainer>& container) {
    bool built = false;
    FSFolderManager::sharedInstance().rebuildRootItems(container, [&] { built = true; });
    runMainQueueUntil([&] { return built && FSFolderManager::sharedInstance().isUpToDate(); });
}

// Runs the main queue until the tree's counters show the selection.
inline void settleFolderTree() {
    runMainQueueUntil([] { return FSFolderManager::sharedInstance().isUpToDate(); });
}

// The node of a scanned folder.
inline FSFolder* nodeOf(const FileSystemItem* folder) {
    return folder && folder->isDir() ? static_cast<const FolderSystemItem*>(folder)->fsFolder() : nullptr;
}

}  // namespace kestrane::test
