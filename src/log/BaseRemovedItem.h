#pragma once

#include "log/BaseFileLogItem.h"
#include "platform/Error.h"
#include "platform/WeakListeners.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class BaseRemovedItem;

// Where a removed file stands, in a word: for lists and reports.
enum class RestoreAvailability {
    restored,        // a matching file is at its place again (or under a restored name next to it)
    fromTrash,       // can come back from its own copy in the trash
    fromKeptCopy,    // can come back from the copy that was kept
    fromOtherCopy,   // can come back from another removed copy of the group (in a trash, or restored)
    fromChosenFile,  // can come back from the file the user chose
    none,            // nothing is left to restore it from
};

// Told, on the main queue, that a removed item's state (restored, source,
// failure) or its selection changed.
class BaseRemovedItemListener {
public:
    virtual ~BaseRemovedItemListener() = default;
    virtual void baseRemovedItemStateDidUpdate(BaseRemovedItem& item) = 0;
    virtual void baseRemovedItemSelectionDidChange(BaseRemovedItem& item) = 0;
};

// A file the log says was removed, permanently or to a trash: whether it
// was restored since (and where), and where it can be restored from.
//
// The answers are computed when first asked and kept until clearCache():
// the restore operation asks from its own queue while a window asks from
// the main queue, so each answer is kept under the item's lock (never held
// while other items are asked).
class BaseRemovedItem : public BaseFileLogItem {
public:
    virtual bool isTrashItem() const = 0;

    // The file that now stands where this one was, found by the match test
    // at the original path or under a restored name next to it ("photo
    // restored.jpg", "photo restored 2.jpg"...); none when there is none.
    std::optional<std::string> pathToRestoredFile() const;
    bool isRestored() const { return pathToRestoredFile().has_value(); }
    // Where the item can be restored from now: a permanently removed item
    // from its restored copy; a trash item from its copy in the trash.
    virtual std::optional<std::string> currentItemPathToRestoreFrom() const;
    bool canBeRestoredFromCurrent() const { return currentItemPathToRestoreFrom().has_value(); }

    // The source of a restore: the item itself when it can be restored from
    // where it is now, else what its group offers (a kept copy that can be
    // used, another removed copy, the file the user chose); null when none.
    std::shared_ptr<BaseFileLogItem> itemToRestoreFrom() const;
    bool isRestorable() const { return itemToRestoreFrom() != nullptr; }
    RestoreAvailability restoreAvailability() const;

    // Whether `path` may be taken as this item's restored file: its own
    // original path, or a path that is no other item's original path in the group.
    bool couldBeUsedAsRestoredPath(const std::string& path) const;
    // The group's kept copies: the first usable one (else the first, else
    // the file the user chose); the usable ones; all of them.
    std::optional<std::string> pathToKeptCopyItem() const;
    std::vector<std::string> pathToKeptCopyItemsArray() const;
    std::vector<std::string> pathToKeptCopyItemsArrayEvenNotExisting() const;
    // Whether the file at `path` passes the match test for this item.
    bool canBeRestoredFromFileWithUrl(const std::string& path) const;
    // Makes a file the user chose the group's kept copy.
    void setFileAsFakeOriginal(const std::string& path);

    // Selection for a restore (main queue): an item already restored or
    // without a source cannot be selected (false).
    bool isSelected() const;
    bool setIsSelected(bool selected);

    bool isRestoreFailed() const;
    std::optional<Error> restoreError() const;
    void clearItemErrorInfo();
    // What a restore attempt did; `isToExternalFolder` when it went into a
    // folder the user chose rather than to the original place.
    void onItemWasRestoredSuccessfully(bool restored, std::optional<Error> error, bool isToExternalFolder);
    // Forgets every answer kept (restored file, source, current path).
    virtual void clearCache();

    void addListener(const std::shared_ptr<BaseRemovedItemListener>& listener) { m_listeners.add(listener); }
    void removeListener(const BaseRemovedItemListener* listener) { m_listeners.remove(listener); }
    void notifyStateDidUpdate();

    std::optional<std::string> itemToRestoreSourcePath() const override { return currentItemPathToRestoreFrom(); }
    bool itemToRestoreHasToBeRemovedAfterRestore() const override { return !isRestored(); }
    bool itemToRestoreCanBeUsedToRestoreFrom() const override { return canBeRestoredFromCurrent(); }

protected:
    BaseRemovedItem() = default;

    mutable std::mutex m_mutex;  // the answers and the state below

private:
    mutable std::optional<std::optional<std::string>> m_pathToRestoredFile;  // outer: computed
    mutable std::weak_ptr<BaseFileLogItem> m_itemToRestoreFrom;
    mutable bool m_isItemToRestoreFromCached = false;
    bool m_isSelected = false;
    bool m_isRestoreFailed = false;
    std::optional<Error> m_restoreError;
    WeakListeners<BaseRemovedItemListener> m_listeners;
};

}  // namespace kestrane
