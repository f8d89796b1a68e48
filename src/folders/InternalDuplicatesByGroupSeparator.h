#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesGroup;
class FileSystemItem;
class FolderSystemItem;

// Copies of duplicates gathered from part of the scanned tree, bucketed by
// their group: what a folder holds of each group, so that a folder's
// duplicates can be told from the groups it holds whole.
//
// A copy inside a duplicate folder is never gathered (it goes with its
// folder), nor is a copy whose group has gone. Each walk meets a copy once,
// so a copy is added once; uniting two separators (addSeparator) keeps each
// copy once as well.
//
// A plain value, used on one queue at a time.
class InternalDuplicatesByGroupSeparator {
public:
    using Items = std::vector<std::shared_ptr<DuplicateItem>>;

    // 0: the duplicates of a folder, not descending into a duplicate folder,
    // nothing else kept. 1: for describing a folder's content: descends into
    // duplicate folders, skips the starting folder itself, and keeps the
    // other files (and those of full groups, once removed).
    enum class CollectionType { duplicates = 0, description = 1 };

    explicit InternalDuplicatesByGroupSeparator(CollectionType type = CollectionType::duplicates);
    // Gathers the folder's subtree (addFolder); with the description type the
    // full groups are then removed and their files join the other items.
    InternalDuplicatesByGroupSeparator(const FolderSystemItem* folder, CollectionType type);

    // The copies of a folder's subtree whose group also has copies outside
    // it (the folder itself counts when it is a duplicate folder): what
    // selecting the folder's duplicates works on.
    static InternalDuplicatesByGroupSeparator duplicatesWithExternalCopies(const FolderSystemItem& folder);

    CollectionType collectionType() const { return m_type; }
    bool collectAllDuplicates() const { return m_type == CollectionType::description; }
    bool collectOtherFiles() const { return m_type == CollectionType::description; }

    // Depth first from the folder: a copy is added (and, unless all
    // duplicates are collected, not descended into); folders that are not
    // packages are descended into; other items join the other items.
    void addFolder(const FolderSystemItem* folder);
    // The copy of every direct child that is not a folder of its own (a
    // folder that is not a package is gathered by walking into it, or, in the
    // folder tree, by its own node).
    void addChildrenOfFolder(const FolderSystemItem* folder);
    void addFileItem(const FileSystemItem* item);
    // Ignored without a copy, for a copy inside a duplicate folder, and for
    // a copy without a group.
    void addItem(const std::shared_ptr<DuplicateItem>& item);
    // Adds a copy whatever folder it lies in (inside a duplicate folder too);
    // only a copy without a group is ignored.
    void addItemInsideDuplicateFolder(const std::shared_ptr<DuplicateItem>& item);
    // Unites the copies with those already kept for the group.
    void addItems(const Items& items, std::uint64_t groupID);
    void addItems(Items&& items, std::uint64_t groupID);
    void addSeparator(const InternalDuplicatesByGroupSeparator& other);
    void addSeparator(InternalDuplicatesByGroupSeparator&& other);
    void removeGroup(std::uint64_t groupID);

    // Takes out every group all of whose copies (those inside duplicate
    // folders aside) are here, handing each one to the action first. Every
    // group looked at counts in countOfRemovedFullGroups.
    void removeFullGroups() { removeFullGroupsWithAction({}); }
    void removeFullGroupsWithAction(
        const std::function<void(const std::shared_ptr<DuplicatesGroup>&, const Items&)>& action);

    Items allDuplicates() const;
    std::uint64_t countOfDuplicates() const;
    // The copies kept for the group, or null.
    const Items* itemsOfGroup(std::uint64_t groupID) const;
    bool empty() const { return m_duplicatesByGroups.empty(); }
    std::size_t countOfGroups() const { return m_duplicatesByGroups.size(); }

    // Each group (while it lives) with its copies. The visit must not change
    // this separator; enumerateWithAbilityToMutate visits a snapshot instead.
    void enumerate(const std::function<void(const std::shared_ptr<DuplicatesGroup>&, const Items&)>& visit) const;
    void enumerateWithAbilityToMutate(
        const std::function<void(const std::shared_ptr<DuplicatesGroup>&, const Items&)>& visit) const;

    // Items that are not duplicates, and the files of full groups once
    // removed; kept by the description type only.
    const std::vector<FileSystemItem*>& otherItems() const { return m_otherItems; }
    std::int64_t countOfRemovedFullGroups() const { return m_countOfRemovedFullGroups; }

private:
    CollectionType m_type;
    bool m_skipMainFolder;
    std::unordered_map<std::uint64_t, Items> m_duplicatesByGroups;
    std::vector<FileSystemItem*> m_otherItems;
    std::int64_t m_countOfRemovedFullGroups = 0;
};

}  // namespace kestrane
