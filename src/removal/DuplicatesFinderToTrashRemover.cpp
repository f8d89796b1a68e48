#include "removal/DuplicatesFinderToTrashRemover.h"

#include "duplicates/DuplicateItem.h"
#include "log/VaqLog.h"
#include "platform/DirectoryReader.h"
#include "platform/FileFacts.h"
#include "platform/NoDestructor.h"
#include "platform/Process.h"
#include "platform/Trash.h"
#include "platform/UserFolders.h"
#include "removal/MoveToTrashBashScript.h"

#include <mutex>

#include <unistd.h>

#ifndef KESTRANE_INSTALLED_PROGRAM
#define KESTRANE_INSTALLED_PROGRAM "/usr/local/bin/kestrane"
#endif

namespace kestrane {

namespace {

struct TrashProgram {
    std::mutex mutex;
    std::string path;
};

TrashProgram& trashProgramSetting() {
    static platform::NoDestructor<TrashProgram> setting;
    return *setting;
}

}  // namespace

void DuplicatesFinderToTrashRemover::setTrashProgram(std::string path) {
    std::lock_guard lock(trashProgramSetting().mutex);
    trashProgramSetting().path = std::move(path);
}

std::string DuplicatesFinderToTrashRemover::trashProgram() {
    {
        std::lock_guard lock(trashProgramSetting().mutex);
        if (!trashProgramSetting().path.empty()) return trashProgramSetting().path;
    }
    const std::string beside = platform::joinPath(platform::executableFolder(), "kestrane");
    if (::access(beside.c_str(), X_OK) == 0) return beside;
    return KESTRANE_INSTALLED_PROGRAM;
}

std::shared_ptr<BashScript> DuplicatesFinderToTrashRemover::makeScript(const std::vector<std::string>& paths) const {
    return std::make_shared<MoveToTrashBashScript>(paths, trashProgram(), MoveToTrashBashScript::currentUser());
}

std::string DuplicatesFinderToTrashRemover::findInTrash(const std::string& originalPath,
                                                        const platform::FileIdentity& identity) {
    platform::Trash trash;
    const auto folder = trash.trashFolderFor(originalPath);
    if (!folder) return {};
    const std::string files = folder->filesFolder();
    auto known = m_trashContents.find(files);
    if (known == m_trashContents.end()) {
        std::map<platform::FileIdentity, std::string> byIdentity;
        platform::DirectoryReader reader;
        if (!reader.open(files)) {
            while (reader.readBatch([&](const platform::DirectoryEntry& entry) {
                       byIdentity.emplace(platform::FileIdentity{entry.device, entry.inode},
                                          platform::joinPath(files, std::string(entry.name)));
                   }) == platform::DirectoryReader::ReadResult::entries) {
            }
        }
        known = m_trashContents.emplace(files, std::move(byIdentity)).first;
    }
    const auto found = known->second.find(identity);
    return found == known->second.end() ? std::string() : found->second;
}

void DuplicatesFinderToTrashRemover::prepareForScript(const std::vector<FinderRemoveDataInfo>& entries) {
    platform::Trash trash;
    for (const auto& entry : entries) trash.trashFolderFor(entry.path);
}

bool DuplicatesFinderToTrashRemover::checkOutcome(const FinderRemoveDataInfo& entry) {
    const auto now = platform::factsOfPath(entry.path);
    if (now && now->identity == entry.identity) return false;  // still where it was
    const std::string inTrash = findInTrash(entry.path, entry.identity);
    // Found in its trash: recorded with where it went. Not found (gone
    // another way while the script ran): recorded as removed, so that the
    // history still offers its kept copy.
    if (const auto& item = entry.errorInfo.item()) {
        if (!inTrash.empty()) VaqLog::shared().onItemMovedToTrash(*item, inTrash);
        else VaqLog::shared().onItemRemoved(*item);
    }
    return true;
}

}  // namespace kestrane
