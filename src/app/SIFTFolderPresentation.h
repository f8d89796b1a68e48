#pragma once

#include "app/ItemPresentation.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

class DuplicateItemPresentation;
class FileSystemItem;
class RemoveItemPresentationContainer;

// A folder in the review: its copies (files) and its folders, shown as the
// files followed by the folders once prepared (subItems). A folder of a
// file tree is found among its parent's folders by name, so a name is added
// once. The invisible root of a file tree has no folder item.
//
// The name and path are taken when the presentation is made, so that it
// outlives a removal that takes the folder out of the scanned tree; the
// folder item is then kept only as the represented object.
class SIFTFolderPresentation : public ItemPresentation {
public:
    // path: as given, or (when none) the folder item's path; name: as given,
    // or the folder item's name.
    SIFTFolderPresentation(const FileSystemItem* folderItem, std::optional<std::string> name,
                           std::optional<std::string> path);

    const FileSystemItem* folderItem() const { return m_folderItem; }
    const void* representedObject() const override { return m_folderItem; }
    bool isFolder() const override { return true; }
    const std::string& name() const { return m_name; }
    const std::string& path() const { return m_path; }

    void addFile(std::shared_ptr<DuplicateItemPresentation> file);
    // Adds the folder unless one of the same name is there; returns the one
    // that is there afterwards.
    std::shared_ptr<SIFTFolderPresentation> addFolder(std::shared_ptr<SIFTFolderPresentation> folder);
    std::shared_ptr<SIFTFolderPresentation> folderWithName(std::string_view name) const;

    const std::vector<std::shared_ptr<DuplicateItemPresentation>>& files() const { return m_files; }
    const std::vector<std::shared_ptr<SIFTFolderPresentation>>& folders() const { return m_folders; }
    // What is shown below the folder: after prepareForUse, the files then the folders.
    const Presentations& subItems() const { return m_subItems; }
    Presentations& mutableSubItems() { return m_subItems; }

    // Prepares every folder below first, then shows the files followed by the folders.
    void prepareForUse();

    // Takes out of this folder (at every level) the presentations whose
    // represented objects the container holds, and folders left without
    // children. True when something was taken out here.
    bool removeRemovedSubItems(RemoveItemPresentationContainer& container);
    bool hasChildren() const { return !m_files.empty() || !m_folders.empty(); }

private:
    const FileSystemItem* m_folderItem;
    std::string m_name;
    std::string m_path;
    std::vector<std::shared_ptr<DuplicateItemPresentation>> m_files;
    std::vector<std::shared_ptr<SIFTFolderPresentation>> m_folders;
    std::map<std::string, std::shared_ptr<SIFTFolderPresentation>, std::less<>> m_foldersByName;
    Presentations m_subItems;
    std::mutex m_lock;  // held while adding and preparing
};

}  // namespace kestrane
