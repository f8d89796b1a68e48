#include "merge/MergeFileOperation.h"

#include "merge/MergeColorTag.h"
#include "merge/MergeNaming.h"
#include "platform/OpenParent.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kestrane {

namespace {

constexpr std::string_view kTemporaryMarker = ".kestrane-";
constexpr std::size_t kCopyChunk = 8u << 20;  // progress and the stop flag are looked at between chunks

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

// A failure with what it concerns; code 0 is success. A system call's
// failure carries the system's words for its errno; the merge's own reasons
// (changed since the scan, cannot be copied) are whole sentences.
struct Failure {
    int code = 0;
    std::string message;
    std::string path;
    bool ownReason = false;

    explicit operator bool() const { return code != 0; }
    Error toError() const {
        if (!ownReason) return Error::fromErrno(code, message, path);
        return Error{.domain = "merge", .code = code, .message = message, .path = path};
    }
};

Failure failure(int code, std::string message, std::string path) { return {code, std::move(message), std::move(path)}; }
Failure reason(int code, std::string message, std::string path) {
    return {code, std::move(message), std::move(path), true};
}

constexpr const char* kChangedSinceScan = "It changed since the scan and was left in place";
constexpr const char* kChangedWhileCopied = "It changed while it was being copied and was left in place";

// Opens a folder for reading, reached from "/" without following a link.
Descriptor openFolder(const std::string& path, Failure& failed) {
    if (path == "/") return Descriptor(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::optional<Error> error;
    const auto parent = platform::OpenParent::open(path, error);
    if (!parent) {
        failed = failure(error ? error->code : ENOENT, "The folder cannot be reached", path);
        return Descriptor();
    }
    Descriptor fd(::openat(parent->fd(), parent->name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) failed = failure(errno == ELOOP ? ENOTDIR : errno, "The folder cannot be opened", path);
    return fd;
}

// 0 when nothing has the name in the folder, EEXIST when something has, or
// the errno that keeps it from being told (a name too long, no permission).
int nameState(int dirFd, const std::string& name) {
    struct stat unused {};
    if (::fstatat(dirFd, name.c_str(), &unused, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return errno == ENOENT ? 0 : errno;
}

std::vector<std::string> namesIn(int dirFd) {
    std::vector<std::string> names;
    const int copy = ::dup(dirFd);
    if (copy < 0) return names;
    DIR* dir = ::fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

// renameat2(RENAME_NOREPLACE); where the file system lacks it, a hard link
// then the removal of the old name for anything but a folder (link() never
// replaces), and for a folder a rename after seeing the name free: a rename
// of a folder can only ever replace an empty folder, so nothing is lost even
// then. Returns 0 or the errno (EEXIST: the name is taken).
int renameWithoutReplacingAt(int fromDir, const char* fromName, int toDir, const char* toName) {
    if (::renameat2(fromDir, fromName, toDir, toName, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return errno;
    struct stat attributes {};
    if (::fstatat(fromDir, fromName, &attributes, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISDIR(attributes.st_mode)) {
        if (::linkat(fromDir, fromName, toDir, toName, 0) != 0) return errno;
        if (::unlinkat(fromDir, fromName, 0) != 0) {
            const int err = errno;
            ::unlinkat(toDir, toName, 0);
            return err;
        }
        return 0;
    }
    if (const int state = nameState(toDir, toName)) return state;
    return ::renameat(fromDir, fromName, toDir, toName) == 0 ? 0 : errno;
}

// Renames fromName into the destination under the first free name of the
// naming rule. Returns 0 (chosen holds the name) or the errno of the first
// failure that is not a taken name.
int renameIntoFreeName(int fromDir, const std::string& fromName, int toDir, const std::string& name, bool isFolder,
                       std::string& chosen) {
    for (std::uint64_t k = 0;; ++k) {
        chosen = k == 0 ? name : MergeNaming::numberedName(name, isFolder, k);
        if (const int state = nameState(toDir, chosen); state == EEXIST) continue;
        else if (state != 0) return state;
        const int err = renameWithoutReplacingAt(fromDir, fromName.c_str(), toDir, chosen.c_str());
        if (err != EEXIST) return err;  // 0, or a failure; EEXIST: taken meanwhile, next name
    }
}

// A hidden name of its own next to `name`, for a copy in the making.
std::string temporaryNameFor(std::string_view name) {
    constexpr std::size_t kRandom = 6;
    const std::size_t room = NAME_MAX - 1 - kTemporaryMarker.size() - kRandom;
    std::size_t length = std::min(name.size(), room);
    while (length > 0 && length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t random = 0;
    if (::getentropy(&random, sizeof random) != 0) random = static_cast<std::uint64_t>(::getpid()) * 7919u;
    std::string temp = ".";
    temp.append(name.substr(0, length)).append(kTemporaryMarker);
    for (std::size_t i = 0; i < kRandom; ++i) {
        temp.push_back(kLetters[random % (sizeof kLetters - 1)]);
        random /= sizeof kLetters - 1;
    }
    return temp;
}

// Removes `name` in dirFd with everything below it, relative to open
// folders, never following a link. Only for copies this operation made.
void removeOwnCopy(int dirFd, const char* name) {
    if (::unlinkat(dirFd, name, 0) == 0 || (errno != EISDIR && errno != EPERM)) return;
    {
        const Descriptor fd(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd)
            for (const auto& child : namesIn(fd.get())) removeOwnCopy(fd.get(), child.c_str());
    }
    ::unlinkat(dirFd, name, AT_REMOVEDIR);
}

bool sameFileAsCopied(const platform::FileFacts& now, const platform::FileFacts& copied) {
    if (now.type == platform::DirectoryEntryType::directory) return now.identity == copied.identity;
    return now.isUnchangedFrom(copied);
}

// Copies a file or folder tree, remembering what it copied so that a move
// removes exactly that afterwards.
class TreeCopier {
public:
    TreeCopier(const std::atomic<bool>& stop, const MergeFileOperation::Progress& progress, std::string sourceRoot)
        : m_stop(stop), m_progress(progress), m_sourceRoot(std::move(sourceRoot)), m_buffer(1 << 20) {}

    // Copies fromName in fromDir to the new name toName in toDir. The top
    // item must still be `seen`.
    Failure copy(int fromDir, const std::string& fromName, int toDir, const std::string& toName,
                 const platform::FileFacts& seen) {
        return copyEntry(fromDir, fromName, toDir, toName, "", &seen);
    }

    // What was copied, by path relative to the top ("" for the top itself).
    const std::map<std::string, platform::FileFacts>& manifest() const { return m_manifest; }

private:
    std::string pathOf(const std::string& relative) const {
        return relative.empty() ? m_sourceRoot : m_sourceRoot + "/" + relative;
    }

    Failure copyEntry(int fromDir, const std::string& fromName, int toDir, const std::string& toName,
                      const std::string& relative, const platform::FileFacts* seen) {
        if (m_stop.load()) return reason(ECANCELED, "Stopped", pathOf(relative));
        const auto facts = platform::factsAt(fromDir, fromName.c_str());
        if (!facts) return failure(errno, "The item cannot be examined", pathOf(relative));
        if (seen != nullptr && !sameFileAsCopied(*facts, *seen))
            return reason(ESTALE, kChangedSinceScan, pathOf(relative));
        switch (facts->type) {
            case platform::DirectoryEntryType::regular: return copyFile(fromDir, fromName, toDir, toName, relative, *facts);
            case platform::DirectoryEntryType::symlink: return copyLink(fromDir, fromName, toDir, toName, relative, *facts);
            case platform::DirectoryEntryType::directory:
                return copyFolder(fromDir, fromName, toDir, toName, relative, *facts);
            default:
                return reason(ENOTSUP, "A device, FIFO or socket cannot be copied", pathOf(relative));
        }
    }

    Failure copyFile(int fromDir, const std::string& fromName, int toDir, const std::string& toName,
                     const std::string& relative, const platform::FileFacts& facts) {
        const Descriptor from(::openat(fromDir, fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!from) return failure(errno, "The file cannot be read", pathOf(relative));
        const auto opened = platform::factsOfDescriptor(from.get());
        if (!opened || !opened->isUnchangedFrom(facts))
            return reason(ESTALE, kChangedWhileCopied, pathOf(relative));
        struct stat attributes {};
        if (::fstat(from.get(), &attributes) != 0) return failure(errno, "The file cannot be examined", pathOf(relative));
        const Descriptor to(::openat(toDir, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!to) return failure(errno, "The copy cannot be created", pathOf(relative));
        if (Failure failed = copyData(from.get(), to.get(), relative)) return failed;
        if (Failure failed = copyAttributes(to.get(), attributes, relative)) return failed;
        if (::fsync(to.get()) != 0) return failure(errno, "The copy cannot be written to the disk", pathOf(relative));
        const auto after = platform::factsOfDescriptor(from.get());
        if (!after || !after->isUnchangedFrom(*opened))
            return reason(ESTALE, kChangedWhileCopied, pathOf(relative));
        m_manifest.emplace(relative, *opened);
        return {};
    }

    Failure copyData(int from, int to, const std::string& relative) {
        for (;;) {
            if (m_stop.load()) return reason(ECANCELED, "Stopped", pathOf(relative));
            const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, kCopyChunk, 0);
            if (n == 0) return {};
            if (n > 0) {
                advance(static_cast<std::uint64_t>(n));
                continue;
            }
            if (errno == EINTR) continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF) break;
            return failure(errno, "The file cannot be copied", pathOf(relative));
        }
        // Where the kernel cannot copy between these two files: read and write,
        // from where copy_file_range stopped (the offsets moved with it).
        for (std::size_t sinceCheck = 0;;) {
            const ssize_t n = ::read(from, m_buffer.data(), m_buffer.size());
            if (n == 0) return {};
            if (n < 0) {
                if (errno == EINTR) continue;
                return failure(errno, "The file cannot be read", pathOf(relative));
            }
            for (ssize_t written = 0; written < n;) {
                const ssize_t w = ::write(to, m_buffer.data() + written, static_cast<std::size_t>(n - written));
                if (w < 0) {
                    if (errno == EINTR) continue;
                    return failure(errno, "The copy cannot be written", pathOf(relative));
                }
                written += w;
            }
            advance(static_cast<std::uint64_t>(n));
            sinceCheck += static_cast<std::size_t>(n);
            if (sinceCheck >= kCopyChunk) {
                sinceCheck = 0;
                if (m_stop.load()) return reason(ECANCELED, "Stopped", pathOf(relative));
            }
        }
    }

    Failure copyAttributes(int to, const struct stat& attributes, const std::string& relative) {
        // As root the copy keeps its owner (a user's file stays the user's);
        // an ordinary user owns what it writes.
        if (::geteuid() == 0 && ::fchown(to, attributes.st_uid, attributes.st_gid) != 0)
            return failure(errno, "The copy cannot be given its owner", pathOf(relative));
        if (::fchmod(to, attributes.st_mode & 07777) != 0)
            return failure(errno, "The copy cannot be given its permissions", pathOf(relative));
        const timespec times[2] = {attributes.st_atim, attributes.st_mtim};
        if (::futimens(to, times) != 0)
            return failure(errno, "The copy cannot be given its modification time", pathOf(relative));
        return {};
    }

    Failure copyLink(int fromDir, const std::string& fromName, int toDir, const std::string& toName,
                     const std::string& relative, const platform::FileFacts& facts) {
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t length = ::readlinkat(fromDir, fromName.c_str(), target.data(), target.size() - 1);
        if (length < 0) return failure(errno, "The link cannot be read", pathOf(relative));
        target[static_cast<std::size_t>(length)] = '\0';
        struct stat attributes {};
        if (::fstatat(fromDir, fromName.c_str(), &attributes, AT_SYMLINK_NOFOLLOW) != 0)
            return failure(errno, "The link cannot be examined", pathOf(relative));
        if (::symlinkat(target.data(), toDir, toName.c_str()) != 0)
            return failure(errno, "The link cannot be copied", pathOf(relative));
        if (::geteuid() == 0) ::fchownat(toDir, toName.c_str(), attributes.st_uid, attributes.st_gid, AT_SYMLINK_NOFOLLOW);
        const timespec times[2] = {attributes.st_atim, attributes.st_mtim};
        ::utimensat(toDir, toName.c_str(), times, AT_SYMLINK_NOFOLLOW);
        m_manifest.emplace(relative, facts);
        return {};
    }

    Failure copyFolder(int fromDir, const std::string& fromName, int toDir, const std::string& toName,
                       const std::string& relative, const platform::FileFacts& facts) {
        const Descriptor from(::openat(fromDir, fromName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!from) return failure(errno, "The folder cannot be read", pathOf(relative));
        struct stat attributes {};
        if (::fstat(from.get(), &attributes) != 0) return failure(errno, "The folder cannot be examined", pathOf(relative));
        if (::mkdirat(toDir, toName.c_str(), 0700) != 0) return failure(errno, "The copy cannot be created", pathOf(relative));
        const Descriptor to(::openat(toDir, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!to) return failure(errno, "The copy cannot be opened", pathOf(relative));
        for (const auto& child : namesIn(from.get())) {
            const std::string childRelative = relative.empty() ? child : relative + "/" + child;
            if (Failure failed = copyEntry(from.get(), child, to.get(), child, childRelative, nullptr)) return failed;
        }
        // The folder's own attributes last: adding its entries changed its times.
        if (Failure failed = copyAttributes(to.get(), attributes, relative)) return failed;
        if (::fsync(to.get()) != 0) return failure(errno, "The copy cannot be written to the disk", pathOf(relative));
        m_manifest.emplace(relative, facts);
        return {};
    }

    void advance(std::uint64_t bytes) {
        m_done += bytes;
        if (m_progress) m_progress(m_done);
    }

    const std::atomic<bool>& m_stop;
    const MergeFileOperation::Progress& m_progress;
    std::string m_sourceRoot;
    std::vector<char> m_buffer;
    std::uint64_t m_done = 0;
    std::map<std::string, platform::FileFacts> m_manifest;
};

// After a copy across file systems: removes from the source what was copied
// and is still exactly what was copied, deepest first. Anything else (a file
// written to or added meanwhile) stays, with the folders that hold it.
// Returns whether the top item is gone.
bool removeCopiedOriginal(int dirFd, const std::string& name, const std::string& relative,
                          const std::map<std::string, platform::FileFacts>& manifest) {
    const auto copied = manifest.find(relative);
    if (copied == manifest.end()) return false;
    const auto now = platform::factsAt(dirFd, name.c_str());
    if (!now || !sameFileAsCopied(*now, copied->second)) return false;
    if (now->type != platform::DirectoryEntryType::directory) return ::unlinkat(dirFd, name.c_str(), 0) == 0;
    {
        const Descriptor fd(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) return false;
        for (const auto& child : namesIn(fd.get()))
            removeCopiedOriginal(fd.get(), child, relative.empty() ? child : relative + "/" + child, manifest);
        ::fsync(fd.get());
    }
    return ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

std::string MergeFileTask::sourcePath() const {
    return sourceFolder == "/" ? "/" + name : sourceFolder + "/" + name;
}

bool MergeFileOperation::isTemporaryName(std::string_view name) {
    const std::size_t marker = name.rfind(kTemporaryMarker);
    return !name.empty() && name.front() == '.' && marker != std::string_view::npos &&
           name.size() == marker + kTemporaryMarker.size() + 6;
}

MergeFileOutcome MergeFileOperation::perform(const MergeFileTask& task, const std::atomic<bool>& stop,
                                             const Progress& progress) {
    MergeFileOutcome outcome;
    const std::string sourcePath = task.sourcePath();
    auto fail = [&](const Failure& failed) {
        outcome.result = FileOperationResult::failed(failed.toError());
        return outcome;
    };
    const auto destinationPathOf = [&](const std::string& name) {
        return task.destinationFolder == "/" ? "/" + name : task.destinationFolder + "/" + name;
    };
    outcome.destinationPath = destinationPathOf(task.name);
    if (stop.load()) {
        outcome.cancelled = true;
        return outcome;
    }

    Failure failed;
    const Descriptor sourceDir = openFolder(task.sourceFolder, failed);
    if (!sourceDir) return fail(failed);
    const Descriptor destinationDir = openFolder(task.destinationFolder, failed);
    if (!destinationDir) return fail(failed);

    if (!task.seen) return fail(reason(ENOENT, "It could not be examined when the merge was prepared", sourcePath));
    const auto now = platform::factsAt(sourceDir.get(), task.name.c_str());
    if (!now) return fail(failure(errno, "It is no longer there", sourcePath));
    if (!sameFileAsCopied(*now, *task.seen))
        return fail(reason(ESTALE, kChangedSinceScan, sourcePath));
    const bool mergeable = now->type == platform::DirectoryEntryType::regular ||
                           now->type == platform::DirectoryEntryType::directory;
    if (!mergeable) return fail(reason(ENOTSUP, "Only files and folders are merged", sourcePath));

    std::string chosen;
    if (task.action == MergeAction::Move) {
        const int err = renameIntoFreeName(sourceDir.get(), task.name, destinationDir.get(), task.name,
                                           task.isFolder, chosen);
        if (err == 0) {
            ::fsync(destinationDir.get());
            ::fsync(sourceDir.get());
            outcome.destinationPath = destinationPathOf(chosen);
            outcome.arrived = true;
            outcome.originalRemoved = true;
            outcome.result = FileOperationResult::successful();
            if (progress) progress(task.size);
            MergeColorTag::apply(destinationDir.get(), chosen, task.colorTag);
            return outcome;
        }
        if (err != EXDEV) return fail(failure(err, "It cannot be moved", sourcePath));
        // Another file system: copy, put in place, then remove the original.
    }

    const std::string temporary = temporaryNameFor(task.name);
    TreeCopier copier(stop, progress, sourcePath);
    if (Failure copyFailed = copier.copy(sourceDir.get(), task.name, destinationDir.get(), temporary, *task.seen)) {
        removeOwnCopy(destinationDir.get(), temporary.c_str());
        if (copyFailed.code == ECANCELED) {
            outcome.cancelled = true;
            return outcome;
        }
        return fail(copyFailed);
    }
    if (const int err = renameIntoFreeName(destinationDir.get(), temporary, destinationDir.get(), task.name,
                                           task.isFolder, chosen)) {
        removeOwnCopy(destinationDir.get(), temporary.c_str());
        return fail(failure(err, "The copy cannot be put in place", destinationPathOf(task.name)));
    }
    ::fsync(destinationDir.get());
    outcome.destinationPath = destinationPathOf(chosen);
    outcome.arrived = true;
    MergeColorTag::apply(destinationDir.get(), chosen, task.colorTag);
    if (task.action == MergeAction::Copy) {
        outcome.result = FileOperationResult::successful();
        return outcome;
    }
    outcome.originalRemoved = removeCopiedOriginal(sourceDir.get(), task.name, "", copier.manifest());
    ::fsync(sourceDir.get());
    if (outcome.originalRemoved) {
        outcome.result = FileOperationResult::successful();
    } else {
        outcome.result = FileOperationResult::failed(
            reason(EBUSY, "It was copied to \"" + chosen + "\", but the original stays: it changed meanwhile",
                   sourcePath)
                .toError());
    }
    return outcome;
}

}  // namespace kestrane
