#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include <sys/types.h>

namespace kestrane {

namespace platform {
template <typename T>
class NoDestructor;
}  // namespace platform

// Removes single paths with administrator rights through the privileged
// helper `trelmor`, for the permanent removals that fail for lack of
// permission. The helper is started once (through AuthorizationManager:
// pkexec asks the person, sudo -n does not) with the arguments [socket,
// this process's id], and serves the rest of the run; when it is gone, the
// next removal starts another. Its socket lives in a folder of this user's
// that nobody else may enter ($XDG_RUNTIME_DIR, else /tmp, "kestrane-helper-XXXXXX"),
// named "org.kestrane.trelmor.NUMBER" with a new random number each start.
// Process-wide; one call at a time (a lock).
class DuplicatesRootRemover {
public:
    // How long a starting helper has to come up, the person's authentication included.
    static constexpr std::chrono::seconds kMaxTimeWait{120};

    static DuplicatesRootRemover& shared();

    // Asks the helper to remove the path (a file, a link, or a folder with
    // everything in it, never following a link). True when it says removed.
    bool removeFileAtPath(const std::string& path);

    // The helper program: by default `trelmor` beside the running program,
    // else where `cmake --install` puts it.
    void setHelperProgram(std::string path);
    std::string helperProgram() const;
    // The process id of the helper started last, -1 when none was.
    pid_t helperProcessId() const;

private:
    friend class platform::NoDestructor<DuplicatesRootRemover>;
    DuplicatesRootRemover() = default;
    // A connection to a running helper, starting one when needed.
    bool connect();
    std::string programPath() const;
    void dropConnection();

    mutable std::mutex m_mutex;
    std::string m_helperProgram;
    std::string m_folder;
    std::string m_socketPath;
    pid_t m_helperPid = -1;
    int m_connection = -1;
};

}  // namespace kestrane
