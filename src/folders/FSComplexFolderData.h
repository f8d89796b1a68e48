#pragma once

#include "folders/FSSimpleFolderData.h"

#include <unordered_map>

namespace kestrane {

class FSFolder;

// The counters a folder of the tree shows: of its own data, the counters of
// the whole subtree it covers (duplicates and their selection), and summed
// over its sub-folders, the other files and the folders with duplicates.
//
// It keeps the last data added for the folder itself and for each direct
// sub-folder, so that a change of one of them replaces just that part of
// the sum. Used on the main queue (and by the tree's builder before that).
class FSComplexFolderData : public FSSimpleFolderData {
public:
    explicit FSComplexFolderData(const FSFolder* representedFolder = nullptr) : m_representedFolder(representedFolder) {}

    const FSFolder* representedFolder() const { return m_representedFolder; }
    const FSAccumulativeFolderData& info() const { return m_info; }

    // Replaces what is known of `folder` (the represented folder's own data,
    // or a sub-folder's aggregated data) by `data`. Nothing happens when the
    // folder is missing or the data equals what is kept for it.
    void addData(const FSSimpleFolderData& data, const FSFolder* folder);

private:
    const FSFolder* m_representedFolder;
    FSAccumulativeFolderData m_info;
    // Keys identify the folders (never followed); entries of sub-folders that
    // went stay until replaced, as the tree only grows between rebuilds.
    std::unordered_map<const FSFolder*, FSSimpleFolderData> m_infoMap;
};

}  // namespace kestrane
