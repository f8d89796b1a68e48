#include "removal/AuthorizationManager.h"

#include "platform/NoDestructor.h"

namespace kestrane {

AuthorizationManager& AuthorizationManager::shared() {
    static platform::NoDestructor<AuthorizationManager> manager;
    return *manager;
}

platform::Launch AuthorizationManager::executeCommand(const std::vector<std::string>& argv) {
    const platform::Elevation elevation = platform::availableElevation();
    m_lastElevation.store(elevation);
    if (elevation == platform::Elevation::pkexec && !isNeedAskAuthentication()) {
        platform::Launch refused;
        refused.error = Error{"authorization", EACCES,
                              "Administrator rights were refused earlier in this removal; not asking again", {}};
        return refused;
    }
    // pkexec's text agent asks on this terminal, so the program keeps it.
    return platform::launchProcess(argv, {.privileges = platform::Privileges::administrator,
                                          .newSession = false,
                                          .keepTerminal = true});
}

bool AuthorizationManager::noteExit(const platform::ChildExit& exit) {
    bool refused = false;
    switch (m_lastElevation.load()) {
        case platform::Elevation::pkexec: refused = exit.exitStatus == 126 || exit.exitStatus == 127; break;
        case platform::Elevation::sudo: refused = exit.exitStatus == 1; break;
        default: break;
    }
    if (refused) setIsNeedAskAuthentication(false);
    return refused;
}

}  // namespace kestrane
