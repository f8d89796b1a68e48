#include "removal/MoveToTrashBashScript.h"

#include "platform/FileFacts.h"
#include "platform/FileFlags.h"
#include "platform/UserFolders.h"

#include <set>

#include <unistd.h>

namespace kestrane {

namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool isLocked(const std::string& path) {
    const auto flags = platform::fileFlagsOfPath(path);
    return flags && flags->isLocked();
}

}  // namespace

MoveToTrashBashScript::TrashOwner MoveToTrashBashScript::currentUser() {
    return {static_cast<unsigned>(::getuid()), static_cast<unsigned>(::getgid()),
            platform::joinPath(platform::dataHome(), "Trash")};
}

std::string MoveToTrashBashScript::text() const {
    std::vector<std::string> existing;
    for (const auto& path : m_paths)
        if (platform::factsOfPath(path)) existing.push_back(path);
    std::string script;
    if (existing.empty()) return script;
    script += "#!/bin/sh\n# Made by Kestrane: moves to the Trash duplicates that it could not move itself.\n";
    std::set<std::string> parents;
    for (const auto& path : existing) parents.insert(parentOf(path));
    for (const auto& parent : parents)
        if (!parent.empty() && isLocked(parent)) script += "chattr -i -a -- " + quoted(parent) + " 2>/dev/null\n";
    for (const auto& path : existing)
        if (isLocked(path)) script += "chattr -i -a -- " + quoted(path) + " 2>/dev/null\n";

    const std::string command = quoted(m_trashProgram) + " trash-for-user --uid " + std::to_string(m_owner.uid) +
                                " --gid " + std::to_string(m_owner.gid) + " --home-trash " +
                                quoted(m_owner.homeTrashPath) + " --";
    std::string line;
    std::size_t inLine = 0;
    for (const auto& path : existing) {
        const std::string word = quoted(path);
        if (inLine > 0 && (inLine == kMaxItemsPerCommand || line.size() + word.size() + 1 > kMaxBytesPerCommand)) {
            script += line + "\n";
            inLine = 0;
        }
        if (inLine == 0) line = command;
        line += " " + word;
        ++inLine;
    }
    if (inLine > 0) script += line + "\n";
    script += "exit 0\n";
    return script;
}

}  // namespace kestrane
