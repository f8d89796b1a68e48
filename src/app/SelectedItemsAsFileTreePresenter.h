#pragma once

#include "app/SelectedItemsPresenter.h"

namespace kestrane {

// The review as a file tree: each copy under the folders that lead to it
// from the scanned folder it was found in; copies in the same folder share
// its entry. A scanned folder is named by its whole path at the top (two
// scanned folders of the same name stay apart), every other folder by its
// name. Folders are ordered by name.
class SelectedItemsAsFileTreePresenter : public SelectedItemsPresenter {
public:
    explicit SelectedItemsAsFileTreePresenter(const Items& items);
    std::int32_t type() const override { return kFileTree; }

protected:
    int compareFolders(const SIFTFolderPresentation& a, const SIFTFolderPresentation& b) const override;
};

}  // namespace kestrane
