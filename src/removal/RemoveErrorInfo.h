#pragma once

#include "platform/Error.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kestrane {

class DuplicateItem;
class RemovalCheck;

// A condition found on disk when an item could not be removed.
enum class RemoveErrorType : std::uint8_t {
    parentNotWritable = 0,    // this user may not change the folder holding it
    parentLocked = 1,         // the folder holding it is immutable or append-only
    folderNotWritable = 2,    // a duplicate folder this user may not change
    itemLocked = 3,           // the item is immutable or append-only
    noTrashOnVolume = 4,      // outside the root volume, and no Trash can be had there
    readOnlyVolume = 5,       // on a volume mounted read-only (EROFS)
    networkVolume = 6,        // on a volume reached over a network (by file-system type)
    ntfsVolume = 7,           // on a read-only NTFS volume
    folderWithHardLinks = 8,  // never found on Linux, where folders have no hard links
};

// The error groups, in the order they are offered (the values are the design's).
enum class RemoveGroupType : std::uint8_t {
    readOnlyAccess = 0,
    lockedFiles = 1,
    hardLinkFolder = 2,
    networkDisk = 3,
    readOnlyNTFSDisk = 4,
    readOnlyDisk = 5,
    unknown = 6,
    notRemoved = 7,
};

// Which helper remover may remove the items of a group (see DuplicateItemsRemover).
enum class HelperRemoverType : std::uint8_t {
    finder = 0,            // to the Trash through the trash script, else permanently as administrator
    permanentAsAdmin = 1,  // permanently, by a script run as administrator
    permanentAsUser = 2,   // permanently, by a script run as the user
    none = 3,              // nothing can remove them: the group only informs
};

// "ReadOnlyAccess", "LockedFiles", ... as the behaviour log writes them.
const char* nameOfGroupType(RemoveGroupType type);
HelperRemoverType helperRemoverTypeOfGroup(RemoveGroupType type);

// One item that a remover could not remove: the item, the error of the
// failed operation, the conditions found on disk when the record was made,
// and the group they put it in. Immutable once made.
class RemoveErrorInfo {
public:
    // The conditions are looked for at once (parent folder, item, volume)
    // at `path`, the item's path; isDuplicateFolder for a copy of the
    // folders category. Safe on any thread: the item is only held.
    // `check` is the copy's check made for the removal, which a later
    // remover runs again before it touches the copy.
    RemoveErrorInfo(std::shared_ptr<DuplicateItem> item, std::string path, bool isDuplicateFolder,
                    std::optional<Error> error, std::shared_ptr<const RemovalCheck> check = nullptr);

    const std::shared_ptr<DuplicateItem>& item() const { return m_item; }
    const std::string& path() const { return m_path; }
    bool isDuplicateFolder() const { return m_isDuplicateFolder; }
    const std::optional<Error>& error() const { return m_error; }
    bool hasErrorType(RemoveErrorType type) const { return (m_errorTypes & bit(type)) != 0; }
    std::uint16_t errorTypes() const { return m_errorTypes; }
    RemoveGroupType removeGroupType() const { return m_groupType; }
    const std::shared_ptr<const RemovalCheck>& check() const { return m_check; }

    // The conditions that hold for an item at `path` now.
    static std::uint16_t findErrorTypes(const std::string& path, bool isDuplicateFolder);
    // The group the conditions put an item in (read-only first, then network,
    // hard-linked folders, locks, Trash, write permission; else unknown).
    static RemoveGroupType groupTypeForErrorTypes(std::uint16_t types);

    static constexpr std::uint16_t bit(RemoveErrorType type) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(type));
    }

private:
    std::shared_ptr<DuplicateItem> m_item;
    std::string m_path;
    bool m_isDuplicateFolder = false;
    std::optional<Error> m_error;
    std::uint16_t m_errorTypes = 0;
    RemoveGroupType m_groupType = RemoveGroupType::unknown;
    std::shared_ptr<const RemovalCheck> m_check;
};

}  // namespace kestrane
