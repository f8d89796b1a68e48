#pragma once

#include "app/SelectedItemsPresenter.h"

namespace kestrane {

// The review grouped by folders: one entry per folder that holds selected
// copies, named by its path, with those copies under it (one level deep; a
// folder and its sub-folder are two entries). Folders are ordered by path;
// a copy without a folder path is left out.
class SelectedItemsAsGroupedByFoldersPresenter : public SelectedItemsPresenter {
public:
    explicit SelectedItemsAsGroupedByFoldersPresenter(const Items& items);
    std::int32_t type() const override { return kGroupedByFolders; }

protected:
    int compareFolders(const SIFTFolderPresentation& a, const SIFTFolderPresentation& b) const override;
};

}  // namespace kestrane
