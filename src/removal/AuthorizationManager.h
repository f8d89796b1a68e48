#pragma once

#include "platform/Process.h"

#include <atomic>
#include <string>
#include <vector>

namespace kestrane {

namespace platform {
template <typename T>
class NoDestructor;
}  // namespace platform

// Starts programs with administrator rights for a removal: directly when
// Kestrane runs as root, else through pkexec (polkit asks the person to
// authenticate), else `sudo -n` (which never asks). When the person refuses
// once, no further password prompt appears until the next removal allows it
// again (setIsNeedAskAuthentication). Process-wide; thread-safe.
class AuthorizationManager {
public:
    static AuthorizationManager& shared();

    // Whether a password prompt may be shown. The first pass of every
    // removal allows it again.
    void setIsNeedAskAuthentication(bool allowed) { m_mayAsk.store(allowed); }
    bool isNeedAskAuthentication() const { return m_mayAsk.load(); }

    // Starts argv with administrator rights. An error when they cannot be
    // had: no means on this machine, or asking is off and the means would ask.
    platform::Launch executeCommand(const std::vector<std::string>& argv);

    // Tells how a program started by executeCommand ended: pkexec's 126
    // (dismissed) and 127 (not authorized, or no agent to ask), and sudo's 1
    // (a password would be needed) mean the rights were refused, and no
    // prompt is shown again in this removal. True when refused.
    bool noteExit(const platform::ChildExit& exit);

private:
    friend class platform::NoDestructor<AuthorizationManager>;
    AuthorizationManager() = default;

    std::atomic<bool> m_mayAsk{true};
    std::atomic<platform::Elevation> m_lastElevation{platform::Elevation::unavailable};
};

}  // namespace kestrane
