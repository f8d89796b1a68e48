#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrane {

class BaseFileLogItem;
class BaseRemovedItem;
class FolderNames;
class KeptItem;

// What a group asks of the log it belongs to.
class RestoreGroupDataSource {
public:
    virtual ~RestoreGroupDataSource() = default;
    // When the log's removal happened (its "date").
    virtual std::optional<std::int64_t> restoreGroupRestoreDate() const = 0;
};

// One group of a log as the history reads it: the files removed from it and
// the files kept, which are where a removed file can come back from.
class RestoreGroup : public std::enable_shared_from_this<RestoreGroup> {
public:
    // GroupFromJsonObject: the group of a log's "changes" entry, with its
    // "kept", "removed" and "moved to trash" records (records that cannot be
    // read are left out). Null when the entry is not an object or no file of
    // it was removed. `folderNames` (may be null) is the log's cache of
    // folder listings.
    static std::shared_ptr<RestoreGroup> fromJson(const nlohmann::json& entry,
                                                  std::weak_ptr<RestoreGroupDataSource> dataSource,
                                                  std::shared_ptr<FolderNames> folderNames);
    // initWithItems:keptItems: (links the items to the group).
    static std::shared_ptr<RestoreGroup> create(std::vector<std::shared_ptr<BaseRemovedItem>> removed,
                                                std::vector<std::shared_ptr<KeptItem>> kept,
                                                std::weak_ptr<RestoreGroupDataSource> dataSource = {},
                                                std::shared_ptr<FolderNames> folderNames = nullptr);

    // The removed files: those removed permanently first, then those moved
    // to a trash, each in the order of the file.
    const std::vector<std::shared_ptr<BaseRemovedItem>>& children() const { return m_children; }
    const std::vector<std::shared_ptr<KeptItem>>& keptItems() const { return m_keptItems; }
    std::shared_ptr<KeptItem> fakeKeptItem() const;

    // Where a removed item of the group can come back from when it cannot
    // come back from where it is itself: the first kept file that can be
    // used, else the first other removed file that can be restored from where
    // it is, else the file the user chose; null when none.
    std::shared_ptr<BaseFileLogItem> calculateRestoreSourceForRemovedItem(const BaseRemovedItem& item) const;
    std::optional<std::string> calculatePathToKeptCopyForRemovedItem(const BaseRemovedItem& item) const;
    std::vector<std::string> createKeptCopyItemsArrayForRemovedItem(const BaseRemovedItem& item,
                                                                     bool onlyExisting) const;
    // Makes the file at `path` the group's kept copy (chosen by the user) and
    // tells every removed item to forget its answers.
    void baseRemovedItemCreateFakeOriginal(const BaseRemovedItem& item, const std::string& path);
    // Every item of the group forgets its answers (and the log its folder listings).
    void baseRemovedItemCacheHasToBeCleaned(const BaseRemovedItem& item);
    std::optional<std::int64_t> baseFileLogItemRemoveDate() const;
    bool containsItemWithOriginalPath(const std::string& path) const { return m_allOriginalPaths.contains(path); }
    FolderNames* folderNames() const { return m_folderNames.get(); }

    struct Key {
    private:
        friend class RestoreGroup;
        Key() = default;
    };
    explicit RestoreGroup(Key) {}

private:
    std::vector<std::shared_ptr<BaseRemovedItem>> m_children;
    std::vector<std::shared_ptr<KeptItem>> m_keptItems;
    std::set<std::string> m_allOriginalPaths;
    mutable std::mutex m_mutex;  // the fake kept item
    std::shared_ptr<KeptItem> m_fakeKeptItem;
    std::weak_ptr<RestoreGroupDataSource> m_dataSource;
    std::shared_ptr<FolderNames> m_folderNames;
};

}  // namespace kestrane
