#include "removal/RemovePermanentlyBashScript.h"

#include "platform/FileFlags.h"

#include <set>

namespace kestrane {

namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

std::string RemovePermanentlyBashScript::text() const {
    std::string script;
    if (m_paths.empty()) return script;
    script += "#!/bin/sh\n# Made by Kestrane: removes duplicates that it could not remove itself.\n";
    // Folders first, each once, then the items in the order given.
    std::set<std::string> parents;
    for (const auto& path : m_paths) parents.insert(parentOf(path));
    for (const auto& parent : parents) {
        const auto flags = platform::fileFlagsOfPath(parent);
        if (!parent.empty() && flags && flags->isLocked()) script += "chattr -i -a -- " + quoted(parent) + " 2>/dev/null\n";
    }
    for (const auto& path : m_paths) {
        const auto flags = platform::fileFlagsOfPath(path);
        if (flags && flags->isLocked()) script += "chattr -i -a -- " + quoted(path) + " 2>/dev/null\n";
        script += "rm -r -f --one-file-system -- " + quoted(path) + "\n";
    }
    script += "exit 0\n";
    return script;
}

}  // namespace kestrane
