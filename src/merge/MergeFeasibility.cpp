#include "merge/MergeFeasibility.h"

#include "platform/DirectoryReader.h"
#include "platform/VolumeInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

std::string_view lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || path == "/" ? path : path.substr(slash + 1);
}

bool isFolder(const std::string& path) {
    const platform::PathAnchor anchor(path);
    struct stat attributes {};
    return anchor && ::fstatat(anchor.directory(), anchor.name(), &attributes, 0) == 0 &&
           S_ISDIR(attributes.st_mode);
}

// Whether this user may add and remove names in the folder.
bool canWriteFolder(const std::string& path) {
    const platform::PathAnchor anchor(path);
    return anchor && ::faccessat(anchor.directory(), anchor.name(), W_OK | X_OK, AT_EACCESS) == 0;
}

enum class WriteProblem { none, readOnlyNtfs, readOnly, permission };

WriteProblem writeProblemOf(const std::string& path) {
    if (const auto volume = platform::volumeInfoProvider().volumeForPath(path); volume && volume->isReadOnly)
        return volume->isNtfs ? WriteProblem::readOnlyNtfs : WriteProblem::readOnly;
    return canWriteFolder(path) ? WriteProblem::none : WriteProblem::permission;
}

std::string quoted(std::string_view prefix, std::string_view name, std::string_view rest) {
    std::string text(prefix);
    text.append("\"").append(name).append("\"").append(rest);
    return text;
}

constexpr std::string_view kNtfsRest =
    " is located on the NTFS formatted disk.\nYou should install a special extension to have the ability to write "
    "to the disk.";
constexpr std::string_view kReadOnlyRest = " is located on a disk with Read Only permission.";
constexpr std::string_view kNotWritableRest = " cannot be changed: you have no permission to add or remove files in it.";

}  // namespace

std::string MergeFeasibility::destinationMissing(std::string_view name) {
    return quoted("The destination ", name, " does not exist.");
}
std::string MergeFeasibility::sourceMissing(std::string_view name) {
    return quoted("The source ", name, " does not exist.");
}
std::string MergeFeasibility::destinationReadOnly(std::string_view name) {
    return quoted("The destination ", name, kReadOnlyRest);
}
std::string MergeFeasibility::destinationReadOnlyNtfs(std::string_view name) {
    return quoted("The destination ", name, kNtfsRest);
}
std::string MergeFeasibility::sourceReadOnly(std::string_view name) {
    return quoted("The source ", name, kReadOnlyRest);
}
std::string MergeFeasibility::sourceReadOnlyNtfs(std::string_view name) {
    return quoted("The source ", name, kNtfsRest);
}
std::string MergeFeasibility::destinationNotWritable(std::string_view name) {
    return quoted("The destination ", name, kNotWritableRest);
}
std::string MergeFeasibility::sourceNotWritable(std::string_view name) {
    return quoted("The source ", name, kNotWritableRest);
}

std::optional<std::string> MergeFeasibility::check(const std::string& sourcePath, const std::string& destinationPath,
                                                   std::optional<MergeAction> action) {
    const std::string_view sourceName = lastComponent(sourcePath);
    const std::string_view destinationName = lastComponent(destinationPath);
    if (!isFolder(destinationPath)) return destinationMissing(destinationName);
    if (!isFolder(sourcePath)) return sourceMissing(sourceName);
    switch (writeProblemOf(destinationPath)) {
        case WriteProblem::readOnlyNtfs: return destinationReadOnlyNtfs(destinationName);
        case WriteProblem::readOnly: return destinationReadOnly(destinationName);
        case WriteProblem::permission: return destinationNotWritable(destinationName);
        case WriteProblem::none: break;
    }
    if (action == MergeAction::Move) {
        switch (writeProblemOf(sourcePath)) {
            case WriteProblem::readOnlyNtfs: return sourceReadOnlyNtfs(sourceName);
            case WriteProblem::readOnly: return sourceReadOnly(sourceName);
            case WriteProblem::permission: return sourceNotWritable(sourceName);
            case WriteProblem::none: break;
        }
    }
    return std::nullopt;
}

}  // namespace kestrane
