#pragma once

#include "platform/FileFacts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

class DuplicateItem;
class RemovalPaths;

namespace platform {
class ByteComparer;
}

// The checks that keep a removal from ever losing a file, made for one copy
// right before it is removed:
//  1. the copy is unchanged since the scan: the same file (device, inode),
//     length and modification time; for a folder, the same folder holding
//     exactly what the scan saw, every file in it unchanged;
//  2. a copy of its group that stays (not selected, not inside anything this
//     run removes) still exists unchanged, and is not the same file (a hard
//     link, or the same folder reached twice);
//  3. its bytes equal those of that kept copy, every one of them; for a
//     duplicate folder, file by file, each against a kept copy of its own group.
// A copy's content key may cover only three blocks of it, so two different
// files can share one; only this comparison says they are identical.
//
// Prepared on the main queue from the result model (what the scan saw, which
// copies stay), the check holds plain data only: it is verified on the
// removal's queue without touching the model. Files are opened relative to
// folders reached without following links, and compared in large reads.
class RemovalCheck {
public:
    enum class Result : std::uint8_t {
        passed,
        changedSinceScan,        // "changed since the scan"
        notIdenticalToKeptCopy,  // "not identical to the kept copy" (or no kept copy is left)
    };
    struct Outcome {
        Result result = Result::passed;
        std::string detail;    // a sentence about what was found; empty when passed
        std::string keptCopy;  // the copy it was found identical to (a file's), when passed
    };

    // The words of a result, as reports show them.
    static const char* describe(Result result);

    // The check of a copy of the removal list; `removing` holds every path
    // the run removes. Main queue.
    static RemovalCheck prepare(const DuplicateItem& item, const RemovalPaths& removing);

    // Looks at the disk. With allowRemovedContent, files of a folder that are
    // gone count as removed by an earlier attempt of this run rather than as
    // a change (what is still there must be as the scan saw it). Any thread.
    Outcome verify(platform::ByteComparer& comparer, bool allowRemovedContent = false) const;

    const std::string& path() const { return m_copy.path; }
    bool isFolder() const { return m_isFolder; }
    // Bytes of the copy that the comparison reads (a folder's files together).
    std::uint64_t size() const { return m_size; }

private:
    // A file (or folder) as the scan saw it.
    struct SeenCopy {
        std::string path;
        std::optional<platform::FileFacts> facts;  // none: unusable (changed before it was grouped)
    };
    // A file below a duplicate folder.
    struct SeenFile {
        std::string relativePath;
        SeenCopy copy;
        std::uint64_t groupId = 0;
        bool comparable = false;  // a regular file in a group of its own
    };
    // A duplicate folder and everything the scan saw below it.
    struct SeenTree {
        SeenCopy folder;
        std::vector<SeenFile> files;
        std::vector<std::string> folders;  // relative paths
    };

    static SeenCopy seenCopyOf(const DuplicateItem& item);
    static SeenTree seenTreeOf(const DuplicateItem& folderItem);
    // The copies of the item's group that stay.
    static std::vector<const DuplicateItem*> keptCopiesOf(const DuplicateItem& item, const RemovalPaths& removing);

    Outcome verifyFile(const SeenCopy& copy, const std::vector<const SeenCopy*>& keptCopies,
                       platform::ByteComparer& comparer) const;
    // Whether the tree on disk is the one the scan saw; `present` gets, per
    // file, whether it is there.
    static Outcome verifyTree(const SeenTree& tree, bool allowRemovedContent, std::vector<bool>& present);
    Outcome verifyFolder(platform::ByteComparer& comparer, bool allowRemovedContent) const;

    SeenCopy m_copy;
    bool m_isFolder = false;
    std::uint64_t m_size = 0;
    std::vector<SeenCopy> m_keptCopies;  // files: the kept copies of its group
    SeenTree m_tree;                     // folders: what the scan saw below it
    std::vector<SeenTree> m_keptTrees;   // folders: the kept copies of its group, each whole
    std::optional<std::string> m_preparationIssue;  // found while preparing: the check fails with it
};

}  // namespace kestrane
