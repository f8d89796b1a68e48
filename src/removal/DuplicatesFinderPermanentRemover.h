#pragma once

#include "removal/DuplicatesFinderRemover.h"

#include <string>

namespace kestrane {

// Removes its items permanently through RemovePermanentlyBashScript, as the
// user or with administrator rights.
class DuplicatesFinderPermanentRemover final : public DuplicatesFinderRemover {
public:
    using DuplicatesFinderRemover::DuplicatesFinderRemover;

    void setUseAdminPrivileges(bool use) { m_useAdminPrivileges = use; }
    bool useAdminPrivileges() const { return m_useAdminPrivileges; }

protected:
    std::shared_ptr<BashScript> makeScript(const std::vector<std::string>& paths) const override;
    bool checkOutcome(const FinderRemoveDataInfo& entry) override;

private:
    bool m_useAdminPrivileges = true;
};

}  // namespace kestrane
