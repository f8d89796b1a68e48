#pragma once

#include "removal/BashScript.h"

#include <string>
#include <vector>

namespace kestrane {

// Removes paths permanently:
//
//     chattr -i -a -- '/locked/folder'          (each distinct locked parent, once)
//     chattr -i -a -- '/locked/item'            (each locked item)
//     rm -r -f --one-file-system -- '/item'     (each item)
//
// The immutable and append-only flags are read once per distinct path, when
// the text is made; clearing them needs administrator rights. `rm` never
// follows a link inside a folder, and --one-file-system keeps it off any
// volume mounted below. One failure does not stop the script: what an item
// became is decided afterwards by what is on disk. An empty list gives a
// script that does nothing.
class RemovePermanentlyBashScript final : public BashScript {
public:
    RemovePermanentlyBashScript(std::vector<std::string> paths, bool requireAdminPrivileges)
        : m_paths(std::move(paths)), m_requireAdmin(requireAdminPrivileges) {}

    std::string text() const override;
    bool requireAdminPrivileges() const override { return m_requireAdmin; }
    bool allowBackgroundBuild() const override { return true; }

private:
    std::vector<std::string> m_paths;
    bool m_requireAdmin;
};

}  // namespace kestrane
