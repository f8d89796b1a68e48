#include "merge/SourceFolderRemoval.h"

#include "platform/FileComparison.h"
#include "platform/OpenParent.h"
#include "platform/Trash.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace kestrane {

namespace {

std::string joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::optional<platform::FileFacts> factsWithoutFollowing(const std::string& path) {
    std::optional<Error> error;
    const auto parent = platform::OpenParent::open(path, error);
    if (!parent) return std::nullopt;
    return platform::factsAt(parent->fd(), parent->name());
}

std::optional<std::string> linkTarget(const std::string& path) {
    std::optional<Error> error;
    const auto parent = platform::OpenParent::open(path, error);
    if (!parent) return std::nullopt;
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = ::readlinkat(parent->fd(), parent->name(), target.data(), target.size());
    if (length < 0) return std::nullopt;
    return std::string(target.data(), static_cast<std::size_t>(length));
}

// The names in a folder reached without following a link; none when it cannot be read.
std::optional<std::vector<std::string>> namesInFolder(const std::string& path) {
    std::optional<Error> error;
    const auto parent = platform::OpenParent::open(path, error);
    if (!parent) return std::nullopt;
    const int fd = ::openat(parent->fd(), parent->name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const bool complete = errno == 0;
    ::closedir(dir);
    if (!complete) return std::nullopt;
    return names;
}

bool identical(const std::string& original, const std::string& copy, platform::ByteComparer& comparer) {
    const auto a = factsWithoutFollowing(original);
    const auto b = factsWithoutFollowing(copy);
    if (!a || !b || a->type != b->type || a->identity == b->identity) return false;
    switch (a->type) {
        case platform::DirectoryEntryType::regular: {
            if (a->size != b->size) return false;
            const auto first = platform::OpenedFile::openUnchanged(original, *a);
            const auto second = platform::OpenedFile::openUnchanged(copy, *b);
            return first && second && comparer.compare(*first, *second) == platform::ByteComparer::Result::equal;
        }
        case platform::DirectoryEntryType::symlink: {
            const auto first = linkTarget(original);
            return first && first == linkTarget(copy);
        }
        case platform::DirectoryEntryType::directory: {
            const auto names = namesInFolder(original);
            if (!names) return false;
            for (const auto& name : *names)
                if (!identical(joined(original, name), joined(copy, name), comparer)) return false;
            return true;
        }
        default:
            return false;
    }
}

bool isInside(const std::string& path, const std::string& folder) {
    return path == folder || (path.size() > folder.size() && path.starts_with(folder) &&
                              (folder == "/" || path[folder.size()] == '/'));
}

}  // namespace

bool SourceFolderRemoval::isIdenticalCopy(const std::string& original, const std::string& copy) {
    platform::ByteComparer comparer;
    return identical(original, copy, comparer);
}

SourceFolderOutcome SourceFolderRemoval::run(const SourceFolderRemovalRequest& request, const std::atomic<bool>& stop) {
    SourceFolderOutcome outcome;
    if (isInside(request.destinationFolder, request.sourceFolder)) {
        outcome.error = Error{.domain = "merge",
                              .code = EINVAL,
                              .message = "The destination lies inside the source: the source folder stays",
                              .path = request.sourceFolder};
        return outcome;
    }
    const auto names = namesInFolder(request.sourceFolder);
    if (!names) {
        outcome.error = Error::fromErrno(errno != 0 ? errno : EIO, "The source folder cannot be read",
                                         request.sourceFolder);
        return outcome;
    }
    platform::ByteComparer comparer;
    for (const auto& name : *names) {
        if (stop.load()) {
            outcome.error = Error{.domain = "merge", .code = ECANCELED, .message = "Stopped", .path = request.sourceFolder};
            return outcome;
        }
        const std::string original = joined(request.sourceFolder, name);
        bool found = identical(original, joined(request.destinationFolder, name), comparer);
        if (const auto known = request.knownCopies.find(name); !found && known != request.knownCopies.end())
            for (const auto& copy : known->second)
                if ((found = identical(original, copy, comparer))) break;
        if (!found) outcome.withoutCopy.push_back(name);
    }
    if (!outcome.withoutCopy.empty()) return outcome;
    platform::Trash trash;
    auto trashed = trash.moveToTrash(request.sourceFolder);
    if (!trashed) {
        outcome.error = trashed.error();
        return outcome;
    }
    outcome.removed = true;
    outcome.trashedPath = trashed->trashedPath;
    return outcome;
}

}  // namespace kestrane
