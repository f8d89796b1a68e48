#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrane::cli {

// `kestrane trash-for-user --uid UID --gid GID --home-trash DIR -- PATH...`:
// not a command for people. The script that a removal runs with
// administrator rights calls it to move into a user's Trash the items that
// user may not move: through the same freedesktop.org Trash as every
// removal, into DIR (the user's home trash) or the user's trash of another
// volume (which must exist already, the user's own), and what it writes
// there (the .trashinfo files) is given to UID:GID. Run as anyone but root,
// it works only for its own user. Every path is tried; the status is 0 when
// all went, 1 otherwise (the removal looks at the disk to know what went).
int runTrashForUserCommand(const std::vector<std::string>& args, std::ostream& err);

}  // namespace kestrane::cli
