#include "removal/RemovalCheck.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "platform/FileComparison.h"
#include "platform/OpenParent.h"
#include "removal/RemovalPaths.h"
#include "scan/FolderSystemItem.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

namespace {

using platform::DirectoryEntryType;
using platform::FileFacts;

std::optional<FileFacts> factsFromScan(const FileSystemItem& item) {
    const ScanFacts* seen = item.scanFacts();
    if (seen == nullptr || !seen->isUsable()) return std::nullopt;
    FileFacts facts;
    facts.identity = seen->identity;
    facts.modification = seen->modification;
    if (item.isDir()) {
        facts.type = DirectoryEntryType::directory;
    } else {
        facts.type = DirectoryEntryType::regular;
        facts.size = item.logicalSize() > 0 ? static_cast<std::uint64_t>(item.logicalSize()) : 0;
    }
    return facts;
}

std::string joined(const std::string& folder, const std::string& relative) {
    return folder.back() == '/' ? folder + relative : folder + "/" + relative;
}

// Why a file could not be opened as the scan saw it, as the end of a sentence.
std::string whyChanged(int error) {
    if (error == ENOENT) return "is no longer there";
    if (error == ESTALE) return "was written to or replaced since the scan";
    return std::string("cannot be read: ") + std::strerror(error);
}

// Visits everything below an open folder, depth first, without following
// links: visit(relativePath, facts) for every entry; false from it stops the
// walk. Returns false when stopped or when a folder could not be read (errno).
bool walkBelow(int folderFd, const std::string& prefix,
               const std::function<bool(const std::string&, const FileFacts&)>& visit) {
    const int readFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = readFd >= 0 ? ::fdopendir(readFd) : nullptr;
    if (dir == nullptr) {
        if (readFd >= 0) ::close(readFd);
        return false;
    }
    bool ok = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            ok = errno == 0;
            break;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        const std::string relative = prefix.empty() ? std::string(entry->d_name) : prefix + "/" + entry->d_name;
        const auto facts = platform::factsAt(::dirfd(dir), entry->d_name);
        if (!facts) {
            ok = false;
            break;
        }
        if (!visit(relative, *facts)) {
            ok = false;
            break;
        }
        if (facts->type == DirectoryEntryType::directory) {
            const int child = ::openat(::dirfd(dir), entry->d_name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) {
                ok = false;
                break;
            }
            const bool childOk = walkBelow(child, relative, visit);
            ::close(child);
            if (!childOk) {
                ok = false;
                break;
            }
        }
    }
    ::closedir(dir);
    return ok;
}

}  // namespace

const char* RemovalCheck::describe(Result result) {
    switch (result) {
        case Result::passed: return "identical to the kept copy";
        case Result::changedSinceScan: return "changed since the scan";
        case Result::notIdenticalToKeptCopy: return "not identical to the kept copy";
    }
    return "";
}

RemovalCheck::SeenCopy RemovalCheck::seenCopyOf(const DuplicateItem& item) {
    SeenCopy copy;
    copy.path = item.getFileItemPath();
    if (const FileSystemItem* fileItem = item.getFileSystemItem()) copy.facts = factsFromScan(*fileItem);
    return copy;
}

RemovalCheck::SeenTree RemovalCheck::seenTreeOf(const DuplicateItem& folderItem) {
    SeenTree tree;
    tree.folder = seenCopyOf(folderItem);
    const FileSystemItem* top = folderItem.getFileSystemItem();
    if (top == nullptr || !top->isDir()) return tree;
    std::vector<std::pair<const FileSystemItem*, std::string>> pending{{top, std::string()}};
    while (!pending.empty()) {
        const auto [folder, prefix] = pending.back();
        pending.pop_back();
        for (const auto& child : static_cast<const FolderSystemItem*>(folder)->childrenArray()) {
            std::string relative = prefix.empty() ? std::string(child->name()) : prefix + "/" + std::string(child->name());
            if (child->isDir()) {
                tree.folders.push_back(relative);
                pending.emplace_back(child.get(), std::move(relative));
                continue;
            }
            SeenFile file;
            file.copy.path = joined(tree.folder.path, relative);
            file.copy.facts = factsFromScan(*child);
            file.relativePath = std::move(relative);
            if (const DuplicateItem* entry = child->getDuplicateItem())
                if (const auto group = entry->getGroup()) {
                    file.groupId = group->getGroupID();
                    file.comparable = child->isRegularFile();
                }
            tree.files.push_back(std::move(file));
        }
    }
    return tree;
}

std::vector<const DuplicateItem*> RemovalCheck::keptCopiesOf(const DuplicateItem& item, const RemovalPaths& removing) {
    std::vector<const DuplicateItem*> kept;
    const auto group = item.getGroup();
    if (!group) return kept;
    for (const auto& other : group->getItems()) {
        if (other.get() == &item || other->isSelected() || other->getFileSystemItem() == nullptr) continue;
        if (removing.covers(other->getFileItemPath())) continue;
        kept.push_back(other.get());
    }
    return kept;
}

RemovalCheck RemovalCheck::prepare(const DuplicateItem& item, const RemovalPaths& removing) {
    RemovalCheck check;
    check.m_copy = seenCopyOf(item);
    const FileSystemItem* fileItem = item.getFileSystemItem();
    if (fileItem == nullptr) {
        check.m_preparationIssue = "is no longer part of the scan's result";
        return check;
    }
    check.m_isFolder = fileItem->isDir();
    const std::vector<const DuplicateItem*> kept = keptCopiesOf(item, removing);
    if (!check.m_isFolder) {
        check.m_size = item.getFileItemSize();
        if (!fileItem->isRegularFile()) check.m_preparationIssue = "is not a regular file";
        for (const DuplicateItem* copy : kept) {
            SeenCopy seen = seenCopyOf(*copy);
            if (seen.facts) check.m_keptCopies.push_back(std::move(seen));
        }
        return check;
    }
    check.m_tree = seenTreeOf(item);
    for (const auto& file : check.m_tree.files)
        if (file.copy.facts) check.m_size += file.copy.facts->size;
    for (const DuplicateItem* copy : kept)
        if (copy->isDirectory()) check.m_keptTrees.push_back(seenTreeOf(*copy));
    return check;
}

RemovalCheck::Outcome RemovalCheck::verify(platform::ByteComparer& comparer, bool allowRemovedContent) const {
    if (m_preparationIssue)
        return {Result::changedSinceScan, "\"" + m_copy.path + "\" " + *m_preparationIssue, {}};
    if (!m_copy.facts)
        return {Result::changedSinceScan, "\"" + m_copy.path + "\" had already changed when the scan compared it", {}};
    if (m_isFolder) return verifyFolder(comparer, allowRemovedContent);
    std::vector<const SeenCopy*> kept;
    for (const auto& copy : m_keptCopies) kept.push_back(&copy);
    return verifyFile(m_copy, kept, comparer);
}

RemovalCheck::Outcome RemovalCheck::verifyFile(const SeenCopy& copy, const std::vector<const SeenCopy*>& keptCopies,
                                               platform::ByteComparer& comparer) const {
    if (!copy.facts)
        return {Result::changedSinceScan, "\"" + copy.path + "\" had already changed when the scan compared it", {}};
    const auto file = platform::OpenedFile::openUnchanged(copy.path, *copy.facts);
    if (!file) return {Result::changedSinceScan, "\"" + copy.path + "\" " + whyChanged(errno), {}};
    if (keptCopies.empty()) return {Result::notIdenticalToKeptCopy, "no other copy of \"" + copy.path + "\" is kept", {}};

    std::string firstProblem;
    std::string differs;
    for (const SeenCopy* kept : keptCopies) {
        if (!kept->facts) continue;
        if (kept->facts->identity == copy.facts->identity) {
            if (firstProblem.empty())
                firstProblem = "\"" + copy.path + "\" and the kept copy \"" + kept->path + "\" are one file (hard links)";
            continue;
        }
        const auto keptFile = platform::OpenedFile::openUnchanged(kept->path, *kept->facts);
        if (!keptFile) {
            if (firstProblem.empty()) firstProblem = "the kept copy \"" + kept->path + "\" " + whyChanged(errno);
            continue;
        }
        switch (comparer.compare(*file, *keptFile)) {
            case platform::ByteComparer::Result::equal:
                // Nobody wrote to either while they were read.
                if (!file->isUnchangedSinceOpened())
                    return {Result::changedSinceScan, "\"" + copy.path + "\" was written to while it was compared", {}};
                if (keptFile->isUnchangedSinceOpened()) return {Result::passed, {}, kept->path};
                if (firstProblem.empty())
                    firstProblem = "the kept copy \"" + kept->path + "\" was written to while it was compared";
                break;
            case platform::ByteComparer::Result::different:
                if (differs.empty())
                    differs = "the bytes of \"" + copy.path + "\" differ from those of \"" + kept->path + "\"";
                break;
            case platform::ByteComparer::Result::readFailed:
                if (firstProblem.empty())
                    firstProblem = "\"" + copy.path + "\" and \"" + kept->path + "\" could not be read to the end: " +
                                   std::strerror(comparer.error());
                break;
        }
    }
    if (differs.empty() && firstProblem.empty()) firstProblem = "no other copy of \"" + copy.path + "\" is kept";
    return {Result::notIdenticalToKeptCopy, !differs.empty() ? differs : firstProblem, {}};
}

RemovalCheck::Outcome RemovalCheck::verifyTree(const SeenTree& tree, bool allowRemovedContent, std::vector<bool>& present) {
    const std::string& path = tree.folder.path;
    present.assign(tree.files.size(), false);
    const auto changed = [&](std::string detail) { return Outcome{Result::changedSinceScan, std::move(detail), {}}; };
    if (!tree.folder.facts) return changed("\"" + path + "\" had already changed when the scan compared it");
    std::optional<Error> error;
    const auto parent = platform::OpenParent::open(path, error);
    const int folderFd = parent ? ::openat(parent->fd(), parent->name(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    const auto facts = folderFd >= 0 ? platform::factsOfDescriptor(folderFd) : std::nullopt;
    if (!facts || facts->identity != tree.folder.facts->identity || facts->isMountRoot) {
        if (folderFd >= 0) ::close(folderFd);
        return changed("the folder \"" + path + "\" is no longer the one the scan saw");
    }
    // Exactly what the scan saw is there: nothing added, nothing replaced,
    // nothing gone (unless this run removed it already).
    std::unordered_map<std::string, std::size_t> fileIndex;
    for (std::size_t i = 0; i < tree.files.size(); ++i) fileIndex.emplace(tree.files[i].relativePath, i);
    const std::unordered_set<std::string> folders(tree.folders.begin(), tree.folders.end());
    std::size_t foldersPresent = 0;
    std::optional<Outcome> change;
    const bool walked = walkBelow(folderFd, {}, [&](const std::string& relative, const FileFacts& found) {
        if (found.type == DirectoryEntryType::directory) {
            if (folders.contains(relative) && !found.isMountRoot && found.identity.device == facts->identity.device) {
                ++foldersPresent;
                return true;
            }
        } else if (const auto at = fileIndex.find(relative); at != fileIndex.end()) {
            const SeenFile& file = tree.files[at->second];
            if (file.copy.facts && found.isUnchangedFrom(*file.copy.facts)) {
                present[at->second] = true;
                return true;
            }
        }
        change = changed("\"" + joined(path, relative) + "\" was added, written to or replaced since the scan");
        return false;
    });
    ::close(folderFd);
    if (change) return *change;
    if (!walked) return changed("the folder \"" + path + "\" could not be read to the end");
    if (!allowRemovedContent) {
        if (foldersPresent != tree.folders.size()) return changed("a folder inside \"" + path + "\" is gone since the scan");
        for (std::size_t i = 0; i < tree.files.size(); ++i)
            if (!present[i]) return changed("\"" + tree.files[i].copy.path + "\" is gone since the scan");
    }
    return {Result::passed, {}, {}};
}

RemovalCheck::Outcome RemovalCheck::verifyFolder(platform::ByteComparer& comparer, bool allowRemovedContent) const {
    std::vector<bool> present;
    Outcome own = verifyTree(m_tree, allowRemovedContent, present);
    if (own.result != Result::passed) return own;
    for (const SeenFile& file : m_tree.files)
        if (!file.comparable)
            return {Result::notIdenticalToKeptCopy, "\"" + file.copy.path + "\" has no copy of its own to compare with", {}};

    // One kept folder, whole and as the scan saw it, holds a byte-identical
    // file of the same group for every file of this one.
    std::string problem = "no other copy of the folder \"" + m_copy.path + "\" is kept";
    for (const SeenTree& kept : m_keptTrees) {
        if (kept.folder.facts && kept.folder.facts->identity == m_copy.facts->identity) {
            problem = "\"" + m_copy.path + "\" and the kept folder \"" + kept.folder.path + "\" are one folder";
            continue;
        }
        std::vector<bool> keptPresent;
        Outcome keptState = verifyTree(kept, false, keptPresent);
        if (keptState.result != Result::passed) {
            problem = "the kept folder \"" + kept.folder.path + "\" changed since the scan: " + keptState.detail;
            continue;
        }
        Outcome mismatch{Result::passed, {}, {}};
        for (std::size_t i = 0; i < m_tree.files.size() && mismatch.result == Result::passed; ++i) {
            if (!present[i]) continue;
            const SeenFile& file = m_tree.files[i];
            std::vector<const SeenCopy*> counterparts;
            for (const SeenFile& other : kept.files)
                if (other.comparable && other.groupId == file.groupId) counterparts.push_back(&other.copy);
            mismatch = verifyFile(file.copy, counterparts, comparer);
            if (mismatch.result == Result::changedSinceScan) return mismatch;
        }
        if (mismatch.result == Result::passed) return {Result::passed, {}, kept.folder.path};
        problem = mismatch.detail;
    }
    return {Result::notIdenticalToKeptCopy, problem, {}};
}

}  // namespace kestrane
