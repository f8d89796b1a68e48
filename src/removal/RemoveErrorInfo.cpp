#include "removal/RemoveErrorInfo.h"

#include "platform/FileFacts.h"
#include "platform/FileFlags.h"
#include "platform/VolumeInfo.h"
#include "platform/Trash.h"

#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

namespace {

bool isWritable(const std::string& path) {
    // As this user, with the rights the process acts with; a read-only
    // volume answers no as well (EROFS).
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool isLocked(const std::string& path) {
    const auto flags = platform::fileFlagsOfPath(path);
    return flags && flags->isLocked();
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

const char* nameOfGroupType(RemoveGroupType type) {
    switch (type) {
        case RemoveGroupType::readOnlyAccess: return "ReadOnlyAccess";
        case RemoveGroupType::lockedFiles: return "LockedFiles";
        case RemoveGroupType::hardLinkFolder: return "HardLinkFolder";
        case RemoveGroupType::networkDisk: return "NetworkDisk";
        case RemoveGroupType::readOnlyNTFSDisk: return "ReadOnlyNTFSDisk";
        case RemoveGroupType::readOnlyDisk: return "ReadOnlyDisk";
        case RemoveGroupType::unknown: return "Unknown";
        case RemoveGroupType::notRemoved: return "NotRemoved";
    }
    return "Unknown";
}

HelperRemoverType helperRemoverTypeOfGroup(RemoveGroupType type) {
    switch (type) {
        case RemoveGroupType::hardLinkFolder: return HelperRemoverType::permanentAsAdmin;
        case RemoveGroupType::networkDisk: return HelperRemoverType::permanentAsUser;
        case RemoveGroupType::readOnlyNTFSDisk: return HelperRemoverType::none;
        case RemoveGroupType::readOnlyDisk: return HelperRemoverType::none;
        case RemoveGroupType::unknown: return HelperRemoverType::permanentAsAdmin;
        case RemoveGroupType::notRemoved: return HelperRemoverType::none;
        case RemoveGroupType::readOnlyAccess:
        case RemoveGroupType::lockedFiles: return HelperRemoverType::finder;
    }
    return HelperRemoverType::finder;
}

RemoveErrorInfo::RemoveErrorInfo(std::shared_ptr<DuplicateItem> item, std::string path, bool isDuplicateFolder,
                                 std::optional<Error> error, std::shared_ptr<const RemovalCheck> check)
    : m_item(std::move(item)),
      m_path(std::move(path)),
      m_isDuplicateFolder(isDuplicateFolder),
      m_error(std::move(error)),
      m_check(std::move(check)) {
    m_errorTypes = findErrorTypes(m_path, m_isDuplicateFolder);
    m_groupType = groupTypeForErrorTypes(m_errorTypes);
}

std::uint16_t RemoveErrorInfo::findErrorTypes(const std::string& path, bool isDuplicateFolder) {
    std::uint16_t types = 0;
    const std::string parent = parentOf(path);
    if (path.empty() || parent.empty()) return types;
    if (!isWritable(parent)) types |= bit(RemoveErrorType::parentNotWritable);
    if (isLocked(parent)) types |= bit(RemoveErrorType::parentLocked);

    // Without the item itself, only its folder can be looked at.
    const auto facts = platform::factsOfPath(path);
    if (!facts) return types;
    const bool isFolder = facts->type == platform::DirectoryEntryType::directory;
    if (isDuplicateFolder && isFolder && !isWritable(path)) types |= bit(RemoveErrorType::folderNotWritable);
    if (isLocked(path)) types |= bit(RemoveErrorType::itemLocked);
    // Folders on Linux have no hard links (their link count counts their
    // sub-folders), so folderWithHardLinks never holds.

    const auto volume = platform::volumeInfoProvider().volumeForPath(path);
    if (volume) {
        if (volume->isReadOnly) types |= bit(RemoveErrorType::readOnlyVolume);
        if (!volume->isLocal) types |= bit(RemoveErrorType::networkVolume);
        if (volume->isReadOnly && volume->isNtfs) types |= bit(RemoveErrorType::ntfsVolume);
        // The trash is made when missing, as a move to it would.
        if (volume->mountPoint != "/" && !platform::Trash().trashFolderFor(path))
            types |= bit(RemoveErrorType::noTrashOnVolume);
    }
    return types;
}

RemoveGroupType RemoveErrorInfo::groupTypeForErrorTypes(std::uint16_t types) {
    auto has = [types](RemoveErrorType type) { return (types & bit(type)) != 0; };
    if (has(RemoveErrorType::readOnlyVolume))
        return has(RemoveErrorType::ntfsVolume) ? RemoveGroupType::readOnlyNTFSDisk : RemoveGroupType::readOnlyDisk;
    if (has(RemoveErrorType::networkVolume)) return RemoveGroupType::networkDisk;
    if (has(RemoveErrorType::folderWithHardLinks)) return RemoveGroupType::hardLinkFolder;
    if (has(RemoveErrorType::itemLocked) || has(RemoveErrorType::parentLocked)) return RemoveGroupType::lockedFiles;
    if (has(RemoveErrorType::noTrashOnVolume)) return RemoveGroupType::readOnlyAccess;
    if (has(RemoveErrorType::parentNotWritable) || has(RemoveErrorType::folderNotWritable))
        return RemoveGroupType::readOnlyAccess;
    return RemoveGroupType::unknown;
}

}  // namespace kestrane
