#include "app/SelectedItemsAsFileTreePresenter.h"

#include "app/DuplicateItemPresentation.h"
#include "app/SIFTFolderPresentation.h"
#include "duplicates/DuplicateItem.h"
#include "scan/FolderSystemItem.h"

#include <string>

namespace kestrane {

SelectedItemsAsFileTreePresenter::SelectedItemsAsFileTreePresenter(const Items& items) {
    SIFTFolderPresentation root(nullptr, std::string(), std::string());
    std::vector<const FileSystemItem*> ancestors;
    for (const auto& item : items) {
        ancestors.clear();
        const FileSystemItem* file = item ? item->getFileSystemItem() : nullptr;
        for (const FileSystemItem* folder = file ? file->parent() : nullptr; folder; folder = folder->parent())
            ancestors.push_back(folder);

        SIFTFolderPresentation* current = &root;
        for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
            const FileSystemItem* folder = *it;
            // A scanned folder is known by its path (its item holds it whole).
            const std::string name(folder->parent() ? folder->name() : folder->relativePath());
            auto child = current->folderWithName(name);
            if (!child) child = current->addFolder(std::make_shared<SIFTFolderPresentation>(folder, name, std::nullopt));
            current = child.get();
        }
        current->addFile(std::make_shared<DuplicateItemPresentation>(item));
    }
    root.prepareForUse();
    m_subItems = root.subItems();
}

int SelectedItemsAsFileTreePresenter::compareFolders(const SIFTFolderPresentation& a,
                                                     const SIFTFolderPresentation& b) const {
    return a.name().compare(b.name()) < 0 ? -1 : (b.name().compare(a.name()) < 0 ? 1 : 0);
}

}  // namespace kestrane
