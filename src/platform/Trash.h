#pragma once

#include "platform/Error.h"
#include "platform/Expected.h"

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::platform {

// One trash folder of the freedesktop.org Trash: `files/` holds what was
// thrown away, `info/NAME.trashinfo` says where each NAME came from and when.
struct TrashFolder {
    std::string path;    // the trash folder itself
    // The top folder of the volume for a volume's trash ($topdir/.Trash/$uid
    // or $topdir/.Trash-$uid); empty for the home trash ($XDG_DATA_HOME/Trash).
    std::string topDir;

    bool isHomeTrash() const { return topDir.empty(); }
    std::string filesFolder() const { return path + "/files"; }
    std::string infoFolder() const { return path + "/info"; }

    friend bool operator==(const TrashFolder&, const TrashFolder&) = default;
};

// One thing in a trash, as its .trashinfo describes it.
struct TrashEntry {
    TrashFolder trash;
    std::string name;          // its name in files/ (its info file is info/NAME.trashinfo)
    std::string trashedPath;   // TRASH/files/NAME: where it is now
    std::string infoPath;      // TRASH/info/NAME.trashinfo
    std::string originalPath;  // absolute: where it was before it was thrown away
    std::string deletionDate;  // local time "YYYY-MM-DDThh:mm:ss" as written; may be empty
};

// What became of something thrown away, seen from the trash it went to.
enum class TrashedItemState {
    inTrash,   // still in the trash, where it was put
    restored,  // gone from the trash, and something is at its original path again
    gone,      // gone from the trash, and nothing is at its original path: the trash was emptied
};

// The freedesktop.org Trash (its layout 1.0), so that
// desktop file managers list and restore what Kestrane throws away, and
// Kestrane restores what it threw away.
//
// Which trash a path goes to: the home trash ($XDG_DATA_HOME/Trash, made
// when missing) for anything on the same mount as the home trash; otherwise
// the trash at the top folder of the path's volume (its mount point):
// $topdir/.Trash/$uid when $topdir/.Trash is a real folder (not a link) with
// the sticky bit, else $topdir/.Trash-$uid; each made with mode 0700 when
// missing, and used only when it is a real folder owned by the user. A
// read-only or network volume has no trash Kestrane uses, nor a volume whose
// top folder cannot be written: an Error says which.
//
// Moving into the trash: the info file is created first (O_EXCL), then the
// item is renamed into files/ without replacing (RENAME_NOREPLACE); a name
// taken in either place moves on to the next name ("photo.jpg", "photo
// 2.jpg", "photo 3.jpg"...). Path= holds the original path percent-encoded
// byte for byte, absolute in the home trash and relative to the top folder in
// a volume's trash; DeletionDate= the local time.
//
// One object serves one removal run: it remembers the trash of each mount it
// has used (so each file costs no more than a statx, its info file and its
// rename; the facts about a volume are read once per object) and where the
// numbering of each name stopped. Not thread-safe: use it from one
// queue. The static operations need no object.
class Trash {
public:
    // The home trash at $XDG_DATA_HOME/Trash (read now), for the real user id.
    Trash();
    // Another home trash and user id (tests).
    Trash(std::string homeTrashPath, uid_t uid);

    // The trash a path goes to, made (with files/ and info/) when missing.
    Expected<TrashFolder> trashFolderFor(const std::string& path);

    // Throws the file, link or folder at `path` (absolute; a link itself, not
    // what it points to) away into its trash and returns where it went.
    // Refused: a path that is not absolute or does not exist, "/", a mount
    // point, the trash itself or anything inside a trash folder, a folder
    // that holds its trash. Nothing is changed when an Error is returned.
    Expected<TrashEntry> moveToTrash(const std::string& path);

    // The entry whose item is (or was) at `trashedPath` (TRASH/files/NAME), as
    // its info file describes it; none when the info file is missing or has no
    // Path=. Whether the item itself is still there is not looked at.
    static std::optional<TrashEntry> entryForTrashedPath(const std::string& trashedPath);

    // Every entry of the trash that `originalPath` would go to whose Path= is
    // originalPath and whose item is still in files/, in name order: finds
    // an item again after a file manager restored it and it was thrown away
    // once more (under another name). Nothing is made when the trash is missing.
    std::vector<TrashEntry> findEntries(const std::string& originalPath);

    // What became of an item thrown away from `originalPath` to
    // `trashedPath`: still in the trash (there is an item at trashedPath and
    // its info file, when there is one, names originalPath), restored
    // (something exists at originalPath again), or gone.
    static TrashedItemState stateOf(const std::string& trashedPath, const std::string& originalPath);

    // Puts an item back from its trash: renames entry.trashedPath to
    // `destination` without replacing anything (EEXIST: the name is taken),
    // then removes its info file. `destination`'s folder must exist; it need
    // not be the original path. EXDEV when the destination is on another
    // mount: nothing is moved then (copy it instead).
    static std::optional<Error> restore(const TrashEntry& entry, const std::string& destination);

    // The .trashinfo text for a path as Path= gives it (absolute, or relative
    // to the top folder of a volume's trash), and its reading. A file that has
    // no "[Trash Info]" group or no Path= in it reads as none.
    static std::string trashInfoText(const std::string& path, const std::string& deletionDate);
    struct TrashInfo {
        std::string path;  // decoded; as written, so relative in a volume's trash
        std::string deletionDate;
    };
    static std::optional<TrashInfo> parseTrashInfo(std::string_view text);

    // Path= encoding: every byte but ASCII letters, digits, "-_.~!*'()" and
    // "/" becomes %XX (upper-case hex); decoding turns every %XX back into its
    // byte and keeps anything else as it is.
    static std::string encodePath(std::string_view path);
    static std::string decodePath(std::string_view text);

    // The local time now as DeletionDate= writes it, "YYYY-MM-DDThh:mm:ss".
    static std::string deletionDateNow();

    const std::string& homeTrashPath() const { return m_homeTrashPath; }

private:
    // The trash for the path, or why there is none; made when `create`.
    Expected<TrashFolder> findTrashFolder(const std::string& path, bool create);
    Expected<TrashFolder> lookUpTrashFolder(const std::string& path, bool create);
    Expected<TrashFolder> volumeTrashFolder(const std::string& topDir, bool create);
    std::optional<Error> prepareHomeTrash();

    std::string m_homeTrashPath;
    uid_t m_uid;
    bool m_homeTrashReady = false;
    // The trash of each mount already used (by statx mount id).
    std::map<std::uint64_t, TrashFolder> m_trashByMount;
    // Per trash folder and name: the number to try next (2, 3, ...).
    std::map<std::string, unsigned> m_nextNumber;
};

}  // namespace kestrane::platform
