#pragma once

#include "log/BaseRemovedItem.h"
#include "log/RestoreGroup.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class FolderNames;
class RestoreController;

// Told, on the main queue, what happens to a log of the history.
class RestoreControllerDelegate {
public:
    virtual ~RestoreControllerDelegate() = default;
    virtual void restoreControllerLoadingStateDidUpdate(RestoreController& controller) = 0;
    virtual void restoreControllerAppearedToBeEmptyAfterLoading(RestoreController& controller) = 0;
    virtual void restoreControllerRemovedItemStateDidUpdate(RestoreController& controller, BaseRemovedItem& item) = 0;
    virtual void restoreControllerSelectionDidChange(RestoreController& controller) = 0;
};

// One log file of the history: its date and, once loaded, its groups and
// the removed files of all of them.
class RestoreController final : public RestoreGroupDataSource,
                                public BaseRemovedItemListener,
                                public std::enable_shared_from_this<RestoreController> {
public:
    enum class LoadingState { notLoaded = 0, loading = 1, loaded = 2 };
    enum class SelectionState { none, some, all };

    // initWithPath: name and date from the file name ("yyyy-MM-dd HH.mm.ss
    // z.log"); null when the name does not read as a date.
    static std::shared_ptr<RestoreController> create(const std::string& path);

    const std::string& path() const { return m_path; }
    const std::string& name() const { return m_name; }
    // The date from the file name, replaced by the log's "date" once loaded.
    std::int64_t date() const;
    // The program that wrote the log ("application"), once loaded.
    std::string application() const;
    LoadingState loadingState() const;
    // Identifies the controller (the hash of a fresh UUID).
    std::uint64_t idHash() const { return m_idHash; }

    // loadOnlyIfHasNoLoadedData:completion: (main queue): reads the file on
    // a background queue, then, on the main queue, takes the groups, tells
    // the delegate and runs the completions. A load already running gets the
    // completion queued; a loaded log is not read again when
    // `onlyIfNotLoaded`.
    void loadOnlyIfHasNoLoadedData(bool onlyIfNotLoaded, std::function<void()> completion = {});
    // Reads and takes the file on the calling thread (the command line, tests).
    void loadNow();

    std::vector<std::shared_ptr<RestoreGroup>> groups() const;
    std::vector<std::shared_ptr<BaseRemovedItem>> children() const;
    std::size_t calculateNumberOfRemovedItems() const { return children().size(); }
    std::size_t calculateNumberOfRestorableItems() const;
    std::shared_ptr<BaseRemovedItem> firstItemFailedToRestore() const;
    std::optional<std::size_t> indexOfFirstItemFailedToRestore() const;
    SelectionState selectionState() const;
    // Selects every selectable item (all) or none.
    void setSelectionState(SelectionState state);
    bool haveSelectableItems() const;

    void setDelegate(std::weak_ptr<RestoreControllerDelegate> delegate) { m_delegate = std::move(delegate); }

    std::optional<std::int64_t> restoreGroupRestoreDate() const override { return date(); }
    void baseRemovedItemStateDidUpdate(BaseRemovedItem& item) override;
    void baseRemovedItemSelectionDidChange(BaseRemovedItem& item) override;

    struct Key {
    private:
        friend class RestoreController;
        Key() = default;
    };
    RestoreController(Key, std::string path, std::string name, std::int64_t date);

private:
    struct Loaded {
        std::optional<std::int64_t> date;
        std::string application;
        std::vector<std::shared_ptr<RestoreGroup>> groups;
    };
    static Loaded read(const std::string& path, const std::weak_ptr<RestoreController>& self,
                       const std::shared_ptr<FolderNames>& folderNames);
    void apply(Loaded loaded);

    const std::string m_path;
    const std::string m_name;
    const std::uint64_t m_idHash;
    const std::shared_ptr<FolderNames> m_folderNames;
    mutable std::mutex m_mutex;  // everything below
    std::int64_t m_date;
    std::string m_application;
    LoadingState m_loadingState = LoadingState::notLoaded;
    std::vector<std::shared_ptr<RestoreGroup>> m_groups;
    std::vector<std::shared_ptr<BaseRemovedItem>> m_children;
    std::vector<std::function<void()>> m_pendingCompletions;
    std::weak_ptr<RestoreControllerDelegate> m_delegate;
};

}  // namespace kestrane
