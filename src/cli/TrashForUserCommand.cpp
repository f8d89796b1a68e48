#include "cli/TrashForUserCommand.h"

#include "cli/ExitStatus.h"
#include "platform/Trash.h"

#include <charconv>
#include <ostream>

#include <fcntl.h>
#include <unistd.h>

namespace kestrane::cli {

namespace {

bool parseId(const std::string& text, unsigned& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int runTrashForUserCommand(const std::vector<std::string>& args, std::ostream& err) {
    unsigned uid = 0;
    unsigned gid = 0;
    std::string homeTrash;
    bool haveUid = false;
    bool haveGid = false;
    std::size_t i = 0;
    for (; i < args.size() && args[i] != "--"; ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--uid" && hasValue) haveUid = parseId(args[++i], uid);
        else if (args[i] == "--gid" && hasValue) haveGid = parseId(args[++i], gid);
        else if (args[i] == "--home-trash" && hasValue) homeTrash = args[++i];
        else {
            err << "kestrane trash-for-user: unexpected argument \"" << args[i] << "\"\n";
            return kExitUsage;
        }
    }
    if (!haveUid || !haveGid || homeTrash.empty() || homeTrash.front() != '/' || i == args.size()) {
        err << "kestrane trash-for-user: needs --uid, --gid, an absolute --home-trash and -- before the paths\n";
        return kExitUsage;
    }
    if (::geteuid() != 0 && uid != ::geteuid()) {
        err << "kestrane trash-for-user: only root may fill another user's Trash\n";
        return kExitUsage;
    }
    platform::Trash trash(homeTrash, uid);
    bool allMoved = true;
    for (++i; i < args.size(); ++i) {
        const auto moved = trash.moveToTrash(args[i]);
        if (!moved) {
            err << "kestrane trash-for-user: " << moved.error().describe() << "\n";
            allMoved = false;
            continue;
        }
        // Written by root: the user's file manager must read it, and the user empty it.
        if (::geteuid() == 0) ::fchownat(AT_FDCWD, moved->infoPath.c_str(), uid, gid, AT_SYMLINK_NOFOLLOW);
    }
    return allMoved ? kExitSuccess : kExitFailure;
}

}  // namespace kestrane::cli
