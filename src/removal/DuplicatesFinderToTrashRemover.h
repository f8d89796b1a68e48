#pragma once

#include "removal/DuplicatesFinderRemover.h"

#include <map>
#include <string>

namespace kestrane {

// Moves its items to the Trash through MoveToTrashBashScript, with
// administrator rights (clearing locks first), and finds each one again in
// its Trash by its identity to record where it went.
class DuplicatesFinderToTrashRemover final : public DuplicatesFinderRemover {
public:
    using DuplicatesFinderRemover::DuplicatesFinderRemover;

    // The kestrane program the script runs to move items to the Trash: by
    // default the one running, else where `cmake --install` puts it.
    static void setTrashProgram(std::string path);
    static std::string trashProgram();

protected:
    std::shared_ptr<BashScript> makeScript(const std::vector<std::string>& paths) const override;
    bool checkOutcome(const FinderRemoveDataInfo& entry) override;
    // Makes the Trash of every item's volume as this user, so that the
    // script, run as root, finds it there and this user's own.
    void prepareForScript(const std::vector<FinderRemoveDataInfo>& entries) override;

private:
    // Where the item with this identity is in the trash that `originalPath`
    // goes to; empty when it is not there. Each trash's files/ folder is read once.
    std::string findInTrash(const std::string& originalPath, const platform::FileIdentity& identity);

    std::map<std::string, std::map<platform::FileIdentity, std::string>> m_trashContents;
};

}  // namespace kestrane
