#pragma once

#include "platform/FileIdentity.h"
#include "scan/ScanProblems.h"

#include <memory>
#include <mutex>
#include <vector>

namespace kestrane {

class FileSystemItem;

// The names met by a scan that belong to files with more than one name (hard
// links), each with the identity of its file. Filled in batches by the
// folder-scan workers; read once every folder has been read.
class HardLinkNames {
public:
    struct Name {
        FileSystemItem* item = nullptr;
        platform::FileIdentity file;
    };

    // Takes the names over (leaving the vector empty). Any thread.
    void add(std::vector<Name>& names);
    // Sorts the names for find(); call once, after the last add().
    void finish();
    // The name's file, or null when the item is not one of the names. After finish().
    const platform::FileIdentity* find(const FileSystemItem* item) const;
    bool empty() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Name> m_names;
};

// What every folder-scan worker of one scan shares besides the folders to
// read: where to note what was left out, where to note the names of files
// with several names, which folders the scan was given (so that a folder
// reached again under another chosen folder, by a bind mount, is read once),
// and whether files of hidden folders are compared (to say when they are not).
struct FolderScanContext {
    std::shared_ptr<ScanProblems> problems = std::make_shared<ScanProblems>();
    std::shared_ptr<HardLinkNames> hardLinks = std::make_shared<HardLinkNames>();
    std::vector<platform::FileIdentity> chosenFolders;
    bool includeHidden = false;
};

}  // namespace kestrane
