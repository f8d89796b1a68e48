#include "app/SelectedItemsAsGroupedByFoldersPresenter.h"

#include "app/DuplicateItemPresentation.h"
#include "app/SIFTFolderPresentation.h"
#include "duplicates/DuplicateItem.h"
#include "scan/FolderSystemItem.h"

#include <map>
#include <string>

namespace kestrane {

SelectedItemsAsGroupedByFoldersPresenter::SelectedItemsAsGroupedByFoldersPresenter(const Items& items) {
    std::map<std::string, std::shared_ptr<SIFTFolderPresentation>, std::less<>> byPath;
    for (const auto& item : items) {
        if (!item || !item->getFileSystemItem()) continue;
        const std::string_view path = item->getParentFolderItemPath();
        if (path.empty()) continue;
        auto found = byPath.find(path);
        if (found == byPath.end()) {
            const FileSystemItem* parent = item->getFileSystemItem()->parent();
            std::optional<std::string> name;
            if (!parent) name = std::string(path.substr(path.rfind('/') + 1));
            auto folder = std::make_shared<SIFTFolderPresentation>(parent, std::move(name), std::string(path));
            found = byPath.emplace(std::string(path), folder).first;
            m_subItems.push_back(std::move(folder));
        }
        found->second->addFile(std::make_shared<DuplicateItemPresentation>(item));
    }
    for (const auto& [path, folder] : byPath) folder->prepareForUse();
}

int SelectedItemsAsGroupedByFoldersPresenter::compareFolders(const SIFTFolderPresentation& a,
                                                             const SIFTFolderPresentation& b) const {
    return a.path().compare(b.path()) < 0 ? -1 : (b.path().compare(a.path()) < 0 ? 1 : 0);
}

}  // namespace kestrane
