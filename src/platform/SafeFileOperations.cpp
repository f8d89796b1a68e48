#include "platform/SafeFileOperations.h"

#include "platform/DirectoryReader.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace kestrane::platform {

namespace {

constexpr std::size_t kNameMax = NAME_MAX;

// Closes a descriptor when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void syncFolder(const std::string& path) {
    const std::string folder = path.empty() ? std::string(".") : path;
    const PathAnchor anchor(folder);  // keeps a pointer into `folder`
    if (!anchor) return;
    const int fd = ::openat(anchor.directory(), anchor.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A hidden name of its own next to `name`: ".NAME.kestrane-" plus six
// characters (filled in by mkostemp / mkdtemp), no longer than a name may be.
std::string temporaryNameFor(std::string_view name) {
    constexpr std::string_view kSuffix = ".kestrane-XXXXXX";
    const std::size_t room = kNameMax - 1 - kSuffix.size();
    std::string_view kept = name.substr(0, std::min(name.size(), room));
    // Do not cut a UTF-8 sequence in two.
    while (kept.size() < name.size() && !kept.empty() &&
           (static_cast<unsigned char>(name[kept.size()]) & 0xC0) == 0x80)
        kept.remove_suffix(1);
    std::string temp = ".";
    temp.append(kept).append(kSuffix);
    return temp;
}

// Removes `name` inside dirFd and everything below it, relative to open
// folders (never following a link). Used only on copies this file made.
void removeTreeAt(int dirFd, const char* name) {
    if (::unlinkat(dirFd, name, 0) == 0 || (errno != EISDIR && errno != EPERM)) return;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        if (DIR* dir = ::fdopendir(::dup(fd))) {
            std::vector<std::string> names;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string_view child = entry->d_name;
                if (child != "." && child != "..") names.emplace_back(child);
            }
            ::closedir(dir);
            for (const auto& child : names) removeTreeAt(fd, child.c_str());
        }
        ::close(fd);
    }
    ::unlinkat(dirFd, name, AT_REMOVEDIR);
}

int copyData(int from, int to) {
    // copy_file_range shares blocks where the file system can (reflinks) and
    // copies in the kernel otherwise; read/write when it cannot be used here.
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (n == 0) return 0;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EBADF)
            return errno;
        break;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (!writeAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return errno;
    }
}

// Copies what `name` in `fromDir` is to `toName` in `toDir` (which must not
// exist), with its permission bits and times. Returns 0 or an errno, with
// the path concerned in `failedPath` (relative to the copy's top).
int copyEntry(int fromDir, const char* name, int toDir, const char* toName, const std::string& relative,
              std::string& failedPath) {
    struct stat attributes {};
    if (::fstatat(fromDir, name, &attributes, AT_SYMLINK_NOFOLLOW) != 0) {
        failedPath = relative;
        return errno;
    }
    const timespec times[2] = {attributes.st_atim, attributes.st_mtim};
    const mode_t mode = attributes.st_mode & 07777;
    if (S_ISREG(attributes.st_mode)) {
        const FileDescriptor from(::openat(fromDir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!from) {
            failedPath = relative;
            return errno;
        }
        const FileDescriptor to(::openat(toDir, toName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!to) {
            failedPath = relative;
            return errno;
        }
        int err = copyData(from.get(), to.get());
        if (err == 0 && ::fchmod(to.get(), mode) != 0) err = errno;
        if (err == 0 && ::futimens(to.get(), times) != 0) err = errno;
        if (err == 0 && ::fsync(to.get()) != 0) err = errno;
        if (err != 0) failedPath = relative;
        return err;
    }
    if (S_ISLNK(attributes.st_mode)) {
        std::vector<char> target(static_cast<std::size_t>(attributes.st_size) + 1 > PATH_MAX
                                     ? static_cast<std::size_t>(attributes.st_size) + 1
                                     : PATH_MAX);
        const ssize_t length = ::readlinkat(fromDir, name, target.data(), target.size() - 1);
        if (length < 0) {
            failedPath = relative;
            return errno;
        }
        target[static_cast<std::size_t>(length)] = '\0';
        if (::symlinkat(target.data(), toDir, toName) != 0 ||
            ::utimensat(toDir, toName, times, AT_SYMLINK_NOFOLLOW) != 0) {
            failedPath = relative;
            return errno;
        }
        return 0;
    }
    if (S_ISDIR(attributes.st_mode)) {
        const FileDescriptor from(::openat(fromDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!from || ::mkdirat(toDir, toName, 0700) != 0) {
            failedPath = relative;
            return errno;
        }
        const FileDescriptor to(::openat(toDir, toName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!to) {
            failedPath = relative;
            return errno;
        }
        std::vector<std::string> names;
        if (DIR* dir = ::fdopendir(::dup(from.get()))) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string_view child = entry->d_name;
                if (child != "." && child != "..") names.emplace_back(child);
            }
            ::closedir(dir);
        } else {
            failedPath = relative;
            return errno;
        }
        for (const auto& child : names) {
            const int err = copyEntry(from.get(), child.c_str(), to.get(), child.c_str(), relative + "/" + child,
                                      failedPath);
            if (err != 0) return err;
        }
        // The folder's own times last: adding its entries changed them.
        if (::fchmod(to.get(), mode) != 0 || ::futimens(to.get(), times) != 0 || ::fsync(to.get()) != 0) {
            failedPath = relative;
            return errno;
        }
        return 0;
    }
    failedPath = relative;
    return ENOTSUP;  // a device, FIFO or socket: not something a copy can stand for
}

}  // namespace

int renameWithoutReplacing(const std::string& from, const std::string& to) {
    const PathAnchor source(from);
    if (!source) return errno;
    const PathAnchor target(to);
    if (!target) return errno;
    if (::renameat2(source.directory(), source.name(), target.directory(), target.name(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL) return errno;
    // EINVAL: the file system may not know RENAME_NOREPLACE, or the move is
    // impossible anyway (a folder into itself); the steps below say which.
    struct stat attributes {};
    if (::fstatat(source.directory(), source.name(), &attributes, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISDIR(attributes.st_mode)) {
        if (::linkat(source.directory(), source.name(), target.directory(), target.name(), 0) != 0) return errno;
        if (::unlinkat(source.directory(), source.name(), 0) != 0) {
            const int err = errno;
            ::unlinkat(target.directory(), target.name(), 0);
            return err;
        }
        return 0;
    }
    struct stat existing {};
    if (::fstatat(target.directory(), target.name(), &existing, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    if (::renameat(source.directory(), source.name(), target.directory(), target.name()) != 0) return errno;
    return 0;
}

std::optional<Error> writeFileAtomically(const std::string& path, std::string_view data, mode_t mode) {
    const std::string folder(parentPath(path));
    std::string temp = (folder.empty() ? std::string() : folder + "/") + temporaryNameFor(lastPathComponent(path));
    const FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));  // O_EXCL: a new name of its own
    if (!fd) return Error::fromErrno(errno, "cannot create a file", folder);
    const bool written = writeAll(fd.get(), data) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    if (!written) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Error::fromErrno(err, "cannot write the file", temp);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Error::fromErrno(err, "cannot replace the file", path);
    }
    syncFolder(folder);  // makes the rename itself durable
    return std::nullopt;
}

std::optional<Error> copyWithoutReplacing(const std::string& source, const std::string& destination,
                                          std::optional<FileTime> modificationTime) {
    const PathAnchor from(source);
    if (!from) return Error::fromErrno(errno, "cannot open the folder of the file to copy", source);
    const std::string folder(parentPath(destination));
    const std::string name(lastPathComponent(destination));
    if (name.empty()) return Error::fromErrno(EINVAL, "no name to copy to", destination);
    const std::string folderToOpen = folder.empty() ? std::string(".") : folder;
    const PathAnchor folderAnchor(folderToOpen);  // keeps a pointer into folderToOpen
    const FileDescriptor folderFd(
        folderAnchor ? ::openat(folderAnchor.directory(), folderAnchor.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
    if (!folderFd) return Error::fromErrno(errno, "cannot open the folder to copy into", folder);

    // Claim a temporary name of our own, then copy into it.
    std::string temp;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = temporaryNameFor(name);
        // mkstemp's letters, made here because the name lives in an open folder.
        static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        std::uint64_t random = 0;
        if (::getentropy(&random, sizeof random) != 0) random = static_cast<std::uint64_t>(::getpid()) * 7919 + attempt;
        for (std::size_t i = temp.size() - 6; i < temp.size(); ++i) {
            temp[i] = kLetters[random % (sizeof kLetters - 1)];
            random /= sizeof kLetters - 1;
        }
        struct stat unused {};
        if (::fstatat(folderFd.get(), temp.c_str(), &unused, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) break;
    }
    std::string failedPath;
    int err = copyEntry(from.directory(), from.name(), folderFd.get(), temp.c_str(), {}, failedPath);
    if (err == 0 && modificationTime) {
        struct stat copied {};
        if (::fstatat(folderFd.get(), temp.c_str(), &copied, AT_SYMLINK_NOFOLLOW) != 0) {
            err = errno;
        } else {
            const timespec times[2] = {copied.st_atim,
                                       {static_cast<time_t>(modificationTime->seconds),
                                        static_cast<long>(modificationTime->nanoseconds)}};
            if (::utimensat(folderFd.get(), temp.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
                err = errno;
            } else if (!S_ISLNK(copied.st_mode)) {
                const FileDescriptor copy(::openat(folderFd.get(), temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
                if (copy) ::fsync(copy.get());  // the new time as durable as the content
            }
        }
    }
    if (err != 0) {
        removeTreeAt(folderFd.get(), temp.c_str());
        return Error::fromErrno(err, "cannot copy", source + failedPath);
    }
    if (::renameat2(folderFd.get(), temp.c_str(), folderFd.get(), name.c_str(), RENAME_NOREPLACE) != 0) {
        err = errno;
        if (err == EINVAL) {
            const std::string tempPath = (folder.empty() ? std::string() : folder + "/") + temp;
            err = renameWithoutReplacing(tempPath, destination);
        }
        if (err != 0) {
            removeTreeAt(folderFd.get(), temp.c_str());
            return Error::fromErrno(err, err == EEXIST ? "the name is taken" : "cannot put the copy in place",
                                    destination);
        }
    }
    ::fsync(folderFd.get());
    return std::nullopt;
}

bool pathExists(const std::string& path) {
    const PathAnchor anchor(path);
    if (!anchor) return false;
    struct stat attributes {};
    return ::fstatat(anchor.directory(), anchor.name(), &attributes, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string_view lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path == "/") return path;
    return path.substr(slash + 1);
}

std::string_view parentPath(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return path.substr(0, 1);
    std::string_view parent = path.substr(0, slash);
    while (parent.size() > 1 && parent.back() == '/') parent.remove_suffix(1);
    return parent;
}

bool makeFolders(const std::string& path) {
    if (path.empty()) return false;
    struct stat attributes {};
    if (::stat(path.c_str(), &attributes) == 0) return S_ISDIR(attributes.st_mode);
    const std::string parent(parentPath(path));
    if (!parent.empty() && parent != path && !makeFolders(parent)) return false;
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && ::stat(path.c_str(), &attributes) == 0 && S_ISDIR(attributes.st_mode);
}

}  // namespace kestrane::platform
