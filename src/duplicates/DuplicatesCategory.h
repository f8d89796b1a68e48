#pragma once

#include "duplicates/FileCategory.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace kestrane {

class DuplicatesCategory;
class DuplicatesContainer;
class DuplicatesGroup;
class FileSystemItem;

// Told when a file category gains or loses a group (the container).
class DuplicatesCategoryListener {
public:
    virtual ~DuplicatesCategoryListener() = default;
    virtual void onGroupAddedToCategory(const std::shared_ptr<DuplicatesGroup>& group,
                                        DuplicatesCategory& category) = 0;
    virtual void onGroupWillBeRemovedFromCategory(const std::shared_ptr<DuplicatesGroup>& group,
                                                DuplicatesCategory& category) = 0;
    virtual void onGroupWasRemovedFromCategory(const std::shared_ptr<DuplicatesGroup>& group,
                                               DuplicatesCategory& category) = 0;
    virtual std::shared_ptr<DuplicatesContainer> getContainer() = 0;
};

// The groups of one file category (or the container's hidden or scratch
// category), with running totals of their figures. Owns its groups; the
// listener is held weakly. The totals follow every group change through the
// groups' will-change / did-change calls and never go below 0.
class DuplicatesCategory : public std::enable_shared_from_this<DuplicatesCategory> {
    struct Key {
        explicit Key() = default;
    };

public:
    enum class Role : std::uint8_t {
        file,    // one of the categories of the list
        hidden,  // groups wholly inside duplicate folders or packages
        scratch, // the similar-folder stage's small duplicates
    };

    // initWithType:withListener:; listener may be empty.
    static std::shared_ptr<DuplicatesCategory> create(std::optional<FileCategory> type,
                                                      std::weak_ptr<DuplicatesCategoryListener> listener,
                                                      Role role = Role::file);
    DuplicatesCategory(Key, std::optional<FileCategory> type, std::weak_ptr<DuplicatesCategoryListener> listener, Role role);
    ~DuplicatesCategory();
    DuplicatesCategory(const DuplicatesCategory&) = delete;
    DuplicatesCategory& operator=(const DuplicatesCategory&) = delete;

    // A new group of the items, merged with every group that already holds
    // one of them (those groups are removed). Null for fewer than two items.
    // When the new group moved on at once (to the hidden category), the group
    // it became is returned.
    std::shared_ptr<DuplicatesGroup> addGroupWithItems(const std::vector<FileSystemItem*>& items);
    void removeGroup(const std::shared_ptr<DuplicatesGroup>& group);
    // withNotification also posts the container's data-changed notification.
    void removeGroupWithNotification(const std::shared_ptr<DuplicatesGroup>& group, bool withNotification);
    // Removes every group of fewer than two copies; returns how many.
    std::size_t removeEmptyGroups();
    void removeAllGroups();

    // None for the hidden and the scratch category.
    std::optional<FileCategory> getType() const { return m_eType; }
    Role getRole() const { return m_eRole; }
    bool isHiddenCategory() const { return m_eRole == Role::hidden; }
    std::shared_ptr<DuplicatesContainer> getContainer() const;
    // Every group, oldest first.
    std::vector<std::shared_ptr<DuplicatesGroup>> getGroups() const;
    std::size_t getGroupsCount() const { return m_groups.size(); }
    bool containsGroup(const DuplicatesGroup& group) const;

    std::int64_t getTotalSize() const { return m_nTotalSize; }
    std::int64_t getTotalCount() const { return m_nTotalCount; }
    std::int64_t getTotalSelectedSize() const { return m_nSelectedSize; }
    std::int64_t getCountOfActualSelectedItems() const { return m_nActualSelectedCount; }
    std::int64_t getSelectedCountWithDuplicatesFolderContent() const {
        return m_nSelectedCountWithDuplicatesFolderContent;
    }
    std::int64_t getSizeThatCanBeRemoved() const { return m_nSizeThatCanBeRemoved; }
    // Makes every group recount its figures.
    void updateCategoryInfo();

    // From the groups.
    void onGroupWillChange(const DuplicatesGroup& group);
    void onGroupDidChange(const DuplicatesGroup& group);

private:
    // The groups already holding one of the items are removed; returns the
    // items together with every copy of those groups.
    std::vector<FileSystemItem*> prepareItemsForGroupCreation(const std::vector<FileSystemItem*>& items);
    void applyGroupFigures(const DuplicatesGroup& group, std::int64_t sign);

    std::optional<FileCategory> m_eType;
    Role m_eRole;
    std::weak_ptr<DuplicatesCategoryListener> m_pListener;
    std::map<std::uint64_t, std::shared_ptr<DuplicatesGroup>> m_groups;  // by group ID
    std::int64_t m_nTotalSize = 0;
    std::int64_t m_nSelectedSize = 0;
    std::int64_t m_nSizeThatCanBeRemoved = 0;
    std::int64_t m_nTotalCount = 0;
    std::int64_t m_nActualSelectedCount = 0;
    std::int64_t m_nSelectedCountWithDuplicatesFolderContent = 0;
};

}  // namespace kestrane
