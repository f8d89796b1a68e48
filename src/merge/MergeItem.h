#pragma once

#include "merge/MergeOperationOptions.h"
#include "platform/Error.h"
#include "platform/FileFacts.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

class DuplicateItem;
class FileSystemItem;
class MergeFolder;

// One direct child of a merged folder: a file, or a sub-folder that is moved
// or copied as a whole (for the merge it is a leaf).
//
// Everything a file operation needs is taken when the item is made, on the
// main thread, so that the operations never reach into the scanned tree: its
// location, name, size, kind, and the facts of the file as it was then
// (which file, its size and modification time). The file operations compare
// the file with those facts and leave a file that changed in place. The
// scanned item itself is kept for identity and is only used on the main
// thread.
class MergeItem {
public:
    MergeItem(FileSystemItem& file, const std::shared_ptr<MergeFolder>& parent);

    // Null once the scanned item is gone (moved away, or the folder went).
    FileSystemItem* file() const { return m_file; }
    void forgetFile() { m_file = nullptr; }
    std::shared_ptr<MergeFolder> parent() const { return m_parent.lock(); }

    // The path of its duplicate entry when it has one, else of the scanned item.
    const std::string& url() const { return m_url; }
    const std::string& name() const { return m_name; }
    bool isFolder() const { return m_isFolder; }
    // The scan's logical size (a folder's: the sum over everything below it).
    std::uint64_t size() const { return m_size; }
    // A regular file or a folder: what a merge knows how to move and copy.
    bool canBeMerged() const { return m_canBeMerged; }
    // The duplicate entry, while the item has one.
    std::shared_ptr<DuplicateItem> duplicateEntry() const;

    // What the file was: for a copy in a group, which file it was and when
    // it was written when the scan grouped it; for any other item, the same
    // when the item was made. The size is always the scan's, so that a file
    // written to since counts as changed. None when it could not be
    // examined when the item was made.
    const std::optional<platform::FileFacts>& seenFacts() const { return m_seenFacts; }

    // What the plan does with it (none: nothing).
    const std::optional<MergeAction>& action() const { return m_action; }
    void setAction(std::optional<MergeAction> action) { m_action = action; }
    // The name it gets in the destination, as the plan foresees it.
    const std::string& plannedName() const { return m_plannedName; }
    void setPlannedName(std::string name) { m_plannedName = std::move(name); }

    // Why its operation failed.
    const std::optional<Error>& error() const { return m_error; }
    void setError(std::optional<Error> error) { m_error = std::move(error); }
    // Set on an item that the merge made in the destination.
    const std::optional<MergeAction>& createdByAction() const { return m_createdByAction; }
    void setCreatedByAction(std::optional<MergeAction> action) { m_createdByAction = action; }

private:
    FileSystemItem* m_file;
    std::weak_ptr<MergeFolder> m_parent;
    std::string m_url;
    std::string m_name;
    std::uint64_t m_size = 0;
    bool m_isFolder = false;
    bool m_canBeMerged = false;
    std::optional<platform::FileFacts> m_seenFacts;
    std::optional<MergeAction> m_action;
    std::string m_plannedName;
    std::optional<Error> m_error;
    std::optional<MergeAction> m_createdByAction;
};

}  // namespace kestrane
