#pragma once

// A real folder on disk with the scanned items for it, built by hand the way
// the scan builds them, for the tests of the result model and the selection.

#include "duplicates/DuplicateItem.h"
#include "scan/FileSystemItem.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "support/TestSupport.h"

#include <sys/stat.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace kestrane::test {

// The result entry linked to an item, or null.
inline std::shared_ptr<DuplicateItem> entryOf(const FileSystemItem* item) {
    DuplicateItem* entry = item != nullptr ? item->getDuplicateItem() : nullptr;
    return entry != nullptr ? entry->weak_from_this().lock() : nullptr;
}

class ModelTestTree {
public:
    ModelTestTree() : m_root(VolumeSystemItem::create(m_dir.path(), 0, 0)) {}

    const std::string& path() const { return m_dir.path(); }
    const TempDir& dir() const { return m_dir; }
    VolumeSystemItem& root() { return *m_root; }
    const std::shared_ptr<VolumeSystemItem>& rootPtr() const { return m_root; }

    // Writes the file (and its folders) and adds its items, with the sizes read back from disk.
    FileSystemItem* file(const std::string& relative, const std::string& content) {
        const std::string full = m_dir.writeFile(relative, content);
        struct stat info {};
        if (::lstat(full.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + full);
        const auto slash = relative.rfind('/');
        FolderSystemItem& parent = slash == std::string::npos ? *m_root : *folder(relative.substr(0, slash));
        const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
        if (FileSystemItem* existing = parent.childWithName(name)) return existing;
        return FileSystemItem::createInParent(name, parent, static_cast<std::int64_t>(info.st_blocks) * 512, false,
                                              static_cast<std::int64_t>(info.st_size));
    }

    // Makes the folder (and its parents) on disk and in the tree; an existing item is reused.
    FolderSystemItem* folder(const std::string& relative, bool package = false) {
        m_dir.makeDir(relative);
        FolderSystemItem* current = m_root.get();
        std::size_t start = 0;
        while (start <= relative.size()) {
            const auto slash = relative.find('/', start);
            const std::string name = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            const bool last = slash == std::string::npos;
            if (!name.empty()) {
                FileSystemItem* child = current->childWithName(name);
                if (child == nullptr)
                    child = FolderSystemItem::createInParent(name, *current, false, package && last);
                current = static_cast<FolderSystemItem*>(child);
            }
            if (last) break;
            start = slash + 1;
        }
        return current;
    }

    // Brings the folder sizes up to date (as the scan does at its end).
    void calculateSizes() { m_root->calculateTotalSize(); }

private:
    TempDir m_dir;
    std::shared_ptr<VolumeSystemItem> m_root;
};

}  // namespace kestrane::test
