#pragma once

#include "removal/BashScript.h"

#include <string>
#include <vector>

namespace kestrane {

// Moves paths to the Trash with administrator rights, for items that the
// user's own process could not move (a folder the user may not change, a
// locked item or folder):
//
//     chattr -i -a -- '/locked/folder'     (each distinct locked parent of an existing item, once)
//     chattr -i -a -- '/locked/item'
//     '/usr/bin/kestrane' trash-for-user --uid 1000 --gid 1000 --home-trash '/home/u/.local/share/Trash' -- '/a' '/b' ...
//
// The trash command is Kestrane's own (the same freedesktop.org Trash as
// every other removal), told whose Trash it is: run as root, it makes what
// it writes in the Trash belong to that user, so that the user's file
// manager lists and restores it. Paths go to it in blocks of at most 10,000
// items and 256 KiB, each block one command. Paths that do not exist when
// the text is made are left out; with none left, the script does nothing.
class MoveToTrashBashScript final : public BashScript {
public:
    static constexpr std::size_t kMaxItemsPerCommand = 10000;
    static constexpr std::size_t kMaxBytesPerCommand = 256 * 1024;

    struct TrashOwner {
        unsigned uid = 0;
        unsigned gid = 0;
        std::string homeTrashPath;
    };

    // trashProgram: the absolute path of the kestrane program.
    MoveToTrashBashScript(std::vector<std::string> paths, std::string trashProgram, TrashOwner owner)
        : m_paths(std::move(paths)), m_trashProgram(std::move(trashProgram)), m_owner(std::move(owner)) {}

    std::string text() const override;
    bool requireAdminPrivileges() const override { return true; }
    bool allowBackgroundBuild() const override { return true; }

    // The owner of the running process and its home trash.
    static TrashOwner currentUser();

private:
    std::vector<std::string> m_paths;
    std::string m_trashProgram;
    TrashOwner m_owner;
};

}  // namespace kestrane
