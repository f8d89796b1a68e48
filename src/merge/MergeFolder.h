#pragma once

#include "merge/MergeItem.h"
#include "merge/MergeOperationOptions.h"
#include "platform/WeakListeners.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrane {

class DuplicateItem;
class FolderSystemItem;
class HeapsFolderData;
class MergeFolder;

// Told, on the main thread, that the items of a merged folder changed: the
// plan was recomputed, or the results of the merge came in.
class MergeFolderListener {
public:
    virtual ~MergeFolderListener() = default;
    virtual void onMergeFolderChanged(const MergeFolder& folder) = 0;
};

// One side of a merged pair of similar folders: the folder's direct children
// as merge items, by name, split into the unique ones (no copy directly in
// the other folder) and the duplicates (a copy of them lies directly in the
// other folder: their group is one the two folders share).
//
// Made and used on the main thread. Owns its items; they refer back weakly.
class MergeFolder : public std::enable_shared_from_this<MergeFolder> {
    struct Key {
        explicit Key() = default;
    };

public:
    // The side of the record's folder; sharedEntries are its copies in the
    // groups it shares with the other side (the pair's copies on this side).
    static std::shared_ptr<MergeFolder> create(std::shared_ptr<HeapsFolderData> folderData, MergeFolderRole role,
                                               const std::vector<std::shared_ptr<DuplicateItem>>& sharedEntries);
    MergeFolder(Key, std::shared_ptr<HeapsFolderData> folderData, MergeFolderRole role);

    const std::shared_ptr<HeapsFolderData>& folderData() const { return m_folderData; }
    // The folder, while it is in the scanned tree.
    FolderSystemItem* folderItem() const;
    const std::string& path() const { return m_path; }
    // Its last path component, as the texts name it.
    std::string_view name() const;

    MergeFolderRole role() const { return m_role; }
    void setRole(MergeFolderRole role) { m_role = role; }

    // By name (byte order): the order in which the plan names them and a
    // preview lists them, the same on every file system.
    const std::vector<std::shared_ptr<MergeItem>>& items() const { return m_items; }
    // The item of that name (exact bytes), or null.
    MergeItem* itemWithName(std::string_view name) const;
    const std::vector<MergeItem*>& uniqueItems() const { return m_uniqueItems; }
    const std::vector<MergeItem*>& duplicates() const { return m_duplicates; }
    bool isDuplicate(const MergeItem& item) const { return m_duplicateSet.contains(&item); }
    // The duplicates here that are copies of `other` (same group); none for
    // an item without a group.
    std::vector<MergeItem*> copiesOf(const MergeItem& other) const;
    // An item that the merge made here, once its scanned item is in the
    // tree: it joins the items (unique) with createdByAction set.
    MergeItem& addCreatedItem(FileSystemItem& file, MergeAction action);

    void addListener(const std::shared_ptr<MergeFolderListener>& listener) { m_listeners.add(listener); }
    void removeListener(const MergeFolderListener* listener) { m_listeners.remove(listener); }
    void notifyChanged();

private:
    void fill(const std::vector<std::shared_ptr<DuplicateItem>>& sharedEntries);

    std::shared_ptr<HeapsFolderData> m_folderData;
    MergeFolderRole m_role;
    std::string m_path;
    std::vector<std::shared_ptr<MergeItem>> m_items;
    std::map<std::string, MergeItem*, std::less<>> m_itemsByName;
    std::vector<MergeItem*> m_uniqueItems;
    std::vector<MergeItem*> m_duplicates;
    std::set<const MergeItem*> m_duplicateSet;
    // Group ID -> the duplicates of that group here.
    std::unordered_map<std::uint64_t, std::vector<MergeItem*>> m_duplicatesByGroup;
    WeakListeners<MergeFolderListener> m_listeners;
};

}  // namespace kestrane
