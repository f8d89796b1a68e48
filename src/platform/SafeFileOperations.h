#pragma once

#include "platform/Error.h"
#include "platform/FileTime.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace kestrane::platform {

// File operations that never replace what is already there. Paths may be of
// any length (longer than PATH_MAX: they are reached relative to an open
// parent, see PathAnchor) and need not be UTF-8.

// Renames `from` to `to` unless `to` exists: renameat2(RENAME_NOREPLACE).
// Returns 0 or the errno: EEXIST when `to` is taken, EXDEV when the two are
// on different mounts. On a file system without RENAME_NOREPLACE (EINVAL
// from renameat2), a file, a link or any non-folder is hard-linked to the new
// name and then unlinked from the old one (link() never replaces either); a
// folder, which cannot be hard-linked, is renamed after checking that the new
// name is free, so only there does a file made in between those two steps
// get replaced.
int renameWithoutReplacing(const std::string& from, const std::string& to);

// Writes `data` as the whole content of the file at `path`, replacing it in
// one step: a temporary file with a name of its own (O_EXCL) in the same
// folder is written, fsynced, given `mode`, renamed over `path`, and the
// folder is fsynced, so that a reader (or a crash at any moment) sees either
// the old content or the new, never a part. The folder must exist.
std::optional<Error> writeFileAtomically(const std::string& path, std::string_view data, mode_t mode = 0644);

// Copies the file, symbolic link or folder tree at `source` to `destination`
// (whose folder must exist) without ever showing a partial copy under the
// destination's name: everything is written under a hidden temporary name
// in the destination's folder (".NAME.kestrane-XXXXXX"), content,
// permission bits and modification times (to the nanosecond) copied,
// fsynced, and then renamed to `destination` without replacing (EEXIST when
// the name was taken meanwhile: the copy is removed and nothing else is
// touched). Links inside a copied folder are copied as links, never
// followed; devices, FIFOs and sockets cannot be copied (an error). On any
// failure the temporary copy is removed. With `modificationTime`, the copy
// itself (not what a copied folder holds) gets that time instead of the
// source's, before it is put in place.
std::optional<Error> copyWithoutReplacing(const std::string& source, const std::string& destination,
                                          std::optional<FileTime> modificationTime = std::nullopt);

// Whether something (even a dangling link) exists at the path.
bool pathExists(const std::string& path);

// The last component of a path ("b" for "/a/b" and "/a/b/"); the folder part
// without its last component ("/a" for "/a/b", "/" for "/a", "" for "a").
std::string_view lastPathComponent(std::string_view path);
std::string_view parentPath(std::string_view path);

// Makes the folder and every missing parent (mode 0755 less the umask, as
// mkdir -p); true when it exists as a folder at the end.
bool makeFolders(const std::string& path);

}  // namespace kestrane::platform
