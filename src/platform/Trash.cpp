#include "platform/Trash.h"

#include "platform/DirectoryReader.h"
#include "platform/Log.h"
#include "platform/SafeFileOperations.h"
#include "platform/Text.h"
#include "platform/UserFolders.h"
#include "platform/VolumeInfo.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

constexpr std::string_view kInfoExtension = ".trashinfo";
// A name in files/ must leave room for ".trashinfo" in info/.
constexpr std::size_t kLongestTrashName = NAME_MAX - kInfoExtension.size();


bool startsWithFolder(std::string_view path, std::string_view folder) {
    if (folder == "/") return path.size() > 1 && path.front() == '/';
    return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/';
}

// What lstat says about a path of any length; none when it does not exist.
std::optional<struct stat> examine(const std::string& path) {
    const PathAnchor anchor(path);
    if (!anchor) return std::nullopt;
    struct stat attributes {};
    if (::fstatat(anchor.directory(), anchor.name(), &attributes, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return attributes;
}

// Makes a folder with mode 0700 when it is missing, and checks that what is
// there is a real folder (not a link) owned by the user.
std::optional<Error> ensurePrivateFolder(const std::string& path, uid_t uid) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return Error::fromErrno(errno, "cannot make the trash folder", path);
    const auto attributes = examine(path);
    if (!attributes) return Error::fromErrno(errno, "cannot examine the trash folder", path);
    if (!S_ISDIR(attributes->st_mode))
        return Error{"trash", ENOTDIR, "the trash folder is not a folder (a link or a file is in its place)", path};
    if (attributes->st_uid != uid)
        return Error{"trash", EPERM, "the trash folder belongs to another user; it is not used", path};
    return std::nullopt;
}

std::optional<Error> ensureTrashContent(const std::string& trashPath, uid_t uid) {
    for (const char* part : {"/files", "/info"})
        if (auto error = ensurePrivateFolder(trashPath + part, uid)) return error;
    return std::nullopt;
}

// The nearest existing folder at or above the path, to learn its volume.
std::string nearestExistingFolder(std::string path) {
    while (!path.empty()) {
        if (examine(path)) return path;
        const std::string parent(parentPath(path));
        if (parent.empty() || parent == path) break;
        path = parent;
    }
    return "/";
}

bool sameVolume(const VolumeInfo& a, const VolumeInfo& b) {
    return a.mountId == b.mountId && a.device == b.device && a.mountPoint == b.mountPoint;
}

// "photo.jpg" numbered 3 gives "photo 3.jpg"; a folder keeps its whole name
// ("my.folder 3"). The result leaves room for the info file's extension: the
// stem is cut (never inside a UTF-8 sequence) when it would be too long.
std::string trashNameFor(std::string_view name, bool isFolder, unsigned number) {
    std::string_view stem = isFolder ? name : nameWithoutExtension(name);
    const std::string_view rest = name.substr(stem.size());  // "" or ".jpg"
    std::string suffix = number > 1 ? " " + std::to_string(number) : std::string();
    suffix.append(rest);
    if (stem.size() + suffix.size() > kLongestTrashName) {
        if (suffix.size() > kLongestTrashName / 2) suffix = number > 1 ? " " + std::to_string(number) : std::string();
        const std::size_t room = kLongestTrashName - suffix.size();
        std::size_t cut = std::min(stem.size(), room);
        while (cut > 0 && cut < stem.size() && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem = stem.substr(0, cut);
    }
    std::string result(stem);
    return result.append(suffix);
}

std::optional<std::string> readSmallFile(const std::string& path) {
    const PathAnchor anchor(path);
    if (!anchor) return std::nullopt;
    const int fd = ::openat(anchor.directory(), anchor.name(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > (1 << 20)) break;  // no info file is that long
    }
    ::close(fd);
    return content;
}

// The trash folder and top folder of a path inside a trash's files/.
std::optional<TrashFolder> trashOfTrashedPath(const std::string& trashedPath) {
    const std::string_view filesFolder = parentPath(trashedPath);
    if (lastPathComponent(filesFolder) != "files") return std::nullopt;
    TrashFolder trash;
    trash.path = std::string(parentPath(filesFolder));
    if (trash.path.empty()) return std::nullopt;
    const std::string_view trashName = lastPathComponent(trash.path);
    const std::string_view above = parentPath(trash.path);
    if (trashName.starts_with(".Trash-")) {
        trash.topDir = std::string(above);  // $topdir/.Trash-$uid
    } else if (lastPathComponent(above) == ".Trash") {
        trash.topDir = std::string(parentPath(above));  // $topdir/.Trash/$uid
    }
    return trash;
}

}  // namespace

Trash::Trash() : Trash(joinPath(dataHome(), "Trash"), ::getuid()) {}

Trash::Trash(std::string homeTrashPath, uid_t uid) : m_homeTrashPath(std::move(homeTrashPath)), m_uid(uid) {}

Expected<TrashFolder> Trash::trashFolderFor(const std::string& path) { return findTrashFolder(path, true); }

std::optional<Error> Trash::prepareHomeTrash() {
    if (m_homeTrashReady) return std::nullopt;
    const std::string parent(parentPath(m_homeTrashPath));
    if (!parent.empty() && !makeFolders(parent))
        return Error::fromErrno(errno, "cannot make the folder of the home trash", parent);
    if (auto error = ensurePrivateFolder(m_homeTrashPath, m_uid)) return error;
    if (auto error = ensureTrashContent(m_homeTrashPath, m_uid)) return error;
    m_homeTrashReady = true;
    return std::nullopt;
}

Expected<TrashFolder> Trash::findTrashFolder(const std::string& path, bool create) {
    // The volume facts take a reading of the mount table; a removal run
    // throws away thousands of files from a handful of mounts, so the answer
    // is kept per mount (the statx mount id, a cheap question).
    std::optional<std::uint64_t> mountId;
    {
        const PathAnchor anchor(path);
        struct statx attributes {};
        if (anchor &&
            ::statx(anchor.directory(), anchor.name(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID,
                    &attributes) == 0 &&
            (attributes.stx_mask & STATX_MNT_ID))
            mountId = attributes.stx_mnt_id;
    }
    if (mountId) {
        if (const auto known = m_trashByMount.find(*mountId); known != m_trashByMount.end()) return known->second;
    }
    auto found = lookUpTrashFolder(path, create);
    if (found && create && mountId) m_trashByMount.emplace(*mountId, *found);
    return found;
}

Expected<TrashFolder> Trash::lookUpTrashFolder(const std::string& path, bool create) {
    const VolumeInfoProvider& volumes = volumeInfoProvider();
    const auto volume = volumes.volumeForPath(path);
    if (!volume) return Error{"trash", ENOENT, "cannot tell which volume holds it, so not which trash it goes to", path};
    const auto homeVolume = volumes.volumeForPath(nearestExistingFolder(m_homeTrashPath));
    if (homeVolume && sameVolume(*volume, *homeVolume)) {
        if (create) {
            if (auto error = prepareHomeTrash()) return *error;
        }
        return TrashFolder{m_homeTrashPath, {}};
    }
    if (volume->isReadOnly)
        return Error{"trash", EROFS, "the volume " + volume->mountPoint + " is read-only: nothing on it can go to a trash",
                          path};
    if (!volume->isLocal)
        return Error{"trash", EREMOTE,
                          "the volume " + volume->mountPoint + " is a network volume (" + volume->fileSystemType +
                              "): it has no trash Kestrane can use",
                          path};
    return volumeTrashFolder(volume->mountPoint, create);
}

Expected<TrashFolder> Trash::volumeTrashFolder(const std::string& topDir, bool create) {
    const std::string uid = std::to_string(m_uid);
    const std::string prefix = topDir == "/" ? std::string() : topDir;

    // $topdir/.Trash/$uid, when the administrator made $topdir/.Trash for
    // everybody: a real folder with the sticky bit.
    const std::string shared = prefix + "/.Trash";
    if (const auto attributes = examine(shared)) {
        if (S_ISDIR(attributes->st_mode) && (attributes->st_mode & S_ISVTX)) {
            const std::string own = shared + "/" + uid;
            if (create || examine(own)) {
                if (!ensurePrivateFolder(own, m_uid) && !ensureTrashContent(own, m_uid)) {
                    return TrashFolder{own, topDir};
                }
            }
        } else {
            logWarning(shared + " is not a folder with the sticky bit (or it is a link), so it is not used as a "
                                "trash; using .Trash-" + uid + " instead");
        }
    }

    const std::string own = prefix + "/.Trash-" + uid;
    if (!create && !examine(own)) return Error{"trash", ENOENT, "the volume has no trash of this user yet", own};
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
        const int err = errno;
        return Error{"trash", err,
                          "cannot make a trash at the top of the volume " + topDir + " (" + std::strerror(err) +
                              "), so nothing on it can go to a trash",
                          own};
    }
    if (auto error = ensurePrivateFolder(own, m_uid)) return *error;
    if (auto error = ensureTrashContent(own, m_uid)) return *error;
    return TrashFolder{own, topDir};
}

Expected<TrashEntry> Trash::moveToTrash(const std::string& givenPath) {
    std::string path = givenPath;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty() || path.front() != '/') return Error{"trash", EINVAL, "not an absolute path", givenPath};
    if (path == "/") return Error{"trash", EINVAL, "the root folder cannot go to a trash", path};
    const auto attributes = examine(path);
    if (!attributes) return Error::fromErrno(errno, "cannot move to the trash", path);
    {
        const PathAnchor anchor(path);
        struct statx mount {};
        if (anchor &&
            ::statx(anchor.directory(), anchor.name(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS,
                    &mount) == 0 &&
            (mount.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (mount.stx_attributes & STATX_ATTR_MOUNT_ROOT))
            return Error{"trash", EBUSY, "a volume is mounted there: it cannot go to a trash", path};
    }

    const auto found = findTrashFolder(path, true);
    if (!found) return found.error();
    const TrashFolder& trash = *found;
    if (path == trash.path || startsWithFolder(path, trash.path))
        return Error{"trash", EINVAL, "it is in the trash already", path};
    if (!trash.isHomeTrash()) {
        const std::string prefix = trash.topDir == "/" ? std::string() : trash.topDir;
        const std::string shared = prefix + "/.Trash";
        if (path == shared || startsWithFolder(path, shared) ||
            std::string_view(path).substr(prefix.size()).starts_with("/.Trash-"))
            return Error{"trash", EINVAL, "it is a trash folder, or in one", path};
    }
    if (startsWithFolder(trash.path, path)) return Error{"trash", EINVAL, "the trash itself is inside it", path};

    // Path= : absolute in the home trash, relative to the top folder in a
    // volume's trash (through the real folder when the path reached the
    // volume through a link, absolute when even that is not below it).
    std::string infoPath = path;
    if (!trash.isHomeTrash()) {
        if (startsWithFolder(path, trash.topDir)) {
            infoPath = path.substr(trash.topDir == "/" ? 1 : trash.topDir.size() + 1);
        } else if (char* real = ::realpath(std::string(parentPath(path)).c_str(), nullptr)) {
            const std::string resolved = joinPath(real, std::string(lastPathComponent(path)));
            std::free(real);
            if (startsWithFolder(resolved, trash.topDir))
                infoPath = resolved.substr(trash.topDir == "/" ? 1 : trash.topDir.size() + 1);
        }
    }
    const std::string info = trashInfoText(infoPath, deletionDateNow());

    const std::string name(lastPathComponent(path));
    const bool isFolder = S_ISDIR(attributes->st_mode);
    const std::string numberKey = trash.path + '\0' + name;
    const auto known = m_nextNumber.find(numberKey);
    unsigned number = known == m_nextNumber.end() ? 1 : known->second;
    for (unsigned attempts = 0; attempts < 1000000; ++attempts, ++number) {
        const std::string candidate = trashNameFor(name, isFolder, number);
        const std::string infoFile = trash.infoFolder() + "/" + candidate + std::string(kInfoExtension);
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Error::fromErrno(errno, "cannot write in the trash", infoFile);
        }
        std::string_view rest = info;
        int writeError = 0;
        while (!rest.empty()) {
            const ssize_t n = ::write(fd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                writeError = errno;
                break;
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        if (::close(fd) != 0 && writeError == 0) writeError = errno;
        if (writeError != 0) {
            ::unlink(infoFile.c_str());
            return Error::fromErrno(writeError, "cannot write in the trash", infoFile);
        }
        const std::string trashedPath = trash.filesFolder() + "/" + candidate;
        const int err = renameWithoutReplacing(path, trashedPath);
        if (err == EEXIST) {  // an item without an info file has the name
            ::unlink(infoFile.c_str());
            continue;
        }
        if (err != 0) {
            ::unlink(infoFile.c_str());
            return Error::fromErrno(err, "cannot move to the trash", path);
        }
        if (number > 1 || m_nextNumber.contains(numberKey)) m_nextNumber[numberKey] = number + 1;
        TrashEntry entry;
        entry.trash = trash;
        entry.name = candidate;
        entry.trashedPath = trashedPath;
        entry.infoPath = infoFile;
        entry.originalPath = path;
        entry.deletionDate = parseTrashInfo(info)->deletionDate;
        return entry;
    }
    return Error{"trash", EEXIST, "every name for it in the trash is taken", path};
}

std::optional<TrashEntry> Trash::entryForTrashedPath(const std::string& trashedPath) {
    auto trash = trashOfTrashedPath(trashedPath);
    if (!trash) return std::nullopt;
    TrashEntry entry;
    entry.trash = std::move(*trash);
    entry.name = std::string(lastPathComponent(trashedPath));
    entry.trashedPath = entry.trash.filesFolder() + "/" + entry.name;
    entry.infoPath = entry.trash.infoFolder() + "/" + entry.name + std::string(kInfoExtension);
    const auto text = readSmallFile(entry.infoPath);
    if (!text) return std::nullopt;
    auto info = parseTrashInfo(*text);
    if (!info) return std::nullopt;
    if (info->path.starts_with("/")) {
        entry.originalPath = std::move(info->path);
    } else if (!entry.trash.isHomeTrash()) {
        entry.originalPath = joinPath(entry.trash.topDir, info->path);
    } else {  // relative in the home trash: to the folder that holds the trash
        entry.originalPath = joinPath(std::string(parentPath(entry.trash.path)), info->path);
    }
    entry.deletionDate = std::move(info->deletionDate);
    return entry;
}

std::vector<TrashEntry> Trash::findEntries(const std::string& originalPath) {
    std::vector<TrashEntry> entries;
    const auto trash = findTrashFolder(originalPath, false);
    if (!trash) return entries;
    const std::string infoFolder = trash->infoFolder();
    DIR* dir = ::opendir(infoFolder.c_str());
    if (dir == nullptr) return entries;
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(dir)) {
        const std::string_view name = item->d_name;
        if (name.size() > kInfoExtension.size() && name.ends_with(kInfoExtension))
            names.emplace_back(name.substr(0, name.size() - kInfoExtension.size()));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        auto entry = entryForTrashedPath(trash->filesFolder() + "/" + name);
        if (entry && entry->originalPath == originalPath && pathExists(entry->trashedPath))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

TrashedItemState Trash::stateOf(const std::string& trashedPath, const std::string& originalPath) {
    if (pathExists(trashedPath)) {
        const auto entry = entryForTrashedPath(trashedPath);
        // An info file that names another path: the name was used again for
        // something else thrown away later; ours is no longer there.
        if (!entry || entry->originalPath == originalPath) return TrashedItemState::inTrash;
    }
    return pathExists(originalPath) ? TrashedItemState::restored : TrashedItemState::gone;
}

std::optional<Error> Trash::restore(const TrashEntry& entry, const std::string& destination) {
    const int err = renameWithoutReplacing(entry.trashedPath, destination);
    if (err == EEXIST) return Error{"trash", EEXIST, "something is already there; nothing was replaced", destination};
    if (err == ENOENT && !pathExists(entry.trashedPath))
        return Error{"trash", ENOENT, "it is no longer in the trash", entry.trashedPath};
    if (err != 0) return Error::fromErrno(err, "cannot move it back from the trash", entry.trashedPath);
    if (::unlink(entry.infoPath.c_str()) != 0 && errno != ENOENT)
        logWarning("restored " + destination + " but could not remove " + entry.infoPath + ": " +
                   std::strerror(errno));
    return std::nullopt;
}

std::string Trash::trashInfoText(const std::string& originalPath, const std::string& deletionDate) {
    return "[Trash Info]\nPath=" + encodePath(originalPath) + "\nDeletionDate=" + deletionDate + "\n";
}

std::optional<Trash::TrashInfo> Trash::parseTrashInfo(std::string_view text) {
    TrashInfo info;
    bool inGroup = false;
    bool havePath = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with("[")) {
            inGroup = line == "[Trash Info]";
            continue;
        }
        if (!inGroup) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        std::string_view value = line.substr(equals + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        if (key == "Path" && !havePath) {
            info.path = decodePath(value);
            havePath = !info.path.empty();
        } else if (key == "DeletionDate" && info.deletionDate.empty()) {
            info.deletionDate = std::string(value);
        }
    }
    if (!havePath) return std::nullopt;
    return info;
}

std::string Trash::encodePath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                          std::string_view("-_.~!*'()/").find(c) != std::string_view::npos;
        if (kept) {
            text += c;
        } else {
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        }
    }
    return text;
}

std::string Trash::decodePath(std::string_view text) {
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string path;
    path.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            path += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            path += text[i];
        }
    }
    return path;
}

std::string Trash::deletionDateNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

}  // namespace kestrane::platform
