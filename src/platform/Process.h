#pragma once

#include "platform/Error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kestrane::platform {

// With whose rights a program is started.
enum class Privileges : std::uint8_t {
    user,           // the rights of this process
    administrator,  // root's, obtained through the means availableElevation() finds
};

// How this process obtains administrator rights for a program it starts.
enum class Elevation : std::uint8_t {
    alreadyAdministrator,  // this process runs as root: programs are started as they are
    pkexec,                // polkit's pkexec: the person authenticates through the polkit agent
    sudo,                  // `sudo -n`: only where no password is asked (polkit is missing)
    unavailable,           // neither: administrator work cannot be done
};

// The means of this machine, looked for at every call: root needs none;
// otherwise pkexec when it is found on PATH (or in /usr/bin), else sudo.
Elevation availableElevation();
// The sentence that says administrator rights cannot be obtained.
std::string elevationUnavailableMessage();

// The command that runs argv with administrator rights by `elevation`:
// `pkexec PROGRAM ARGS...`, `sudo -n -- PROGRAM ARGS...`, or argv itself.
// argv[0] must be an absolute path (pkexec requires it).
std::vector<std::string> elevatedCommand(const std::vector<std::string>& argv, Elevation elevation);

// The absolute path of an executable program found on PATH; none when absent.
std::optional<std::string> findProgram(const std::string& name);
// The folder of the running executable (from /proc/self/exe).
std::string executableFolder();

struct LaunchOptions {
    Privileges privileges = Privileges::user;
    // A session of its own (setsid): the program does not get this terminal's
    // signals and cannot read from it. Programs that may have to ask for a
    // password (pkexec's text agent) keep the terminal instead.
    bool newSession = true;
    // Standard input and error stay this process's (for a password prompt
    // and its messages); otherwise all three are /dev/null.
    bool keepTerminal = false;
};

struct Launch {
    pid_t pid = -1;
    std::optional<Error> error;  // when nothing was started
    explicit operator bool() const { return pid > 0; }
};

// Starts argv (argv[0] an absolute path, no shell involved) as a child of
// this process with the given rights. A program that cannot be executed, or
// administrator rights that cannot be obtained, give an error and no child.
// Signals start at their default actions, none blocked.
Launch launchProcess(const std::vector<std::string>& argv, const LaunchOptions& options = {});

// How a child of this process ended.
struct ChildExit {
    bool ended = false;
    int exitStatus = -1;  // -1 when it ended by a signal, or was not a child of ours
    int signal = 0;
};

// Whether the child has ended, without waiting (and reaps it when it has).
// A pid that is not a child of this process (or was reaped already) counts as ended.
ChildExit pollChild(pid_t pid);
// Waits for the child to end and reaps it.
ChildExit waitForChild(pid_t pid);

// Whether a process with this id exists and has not ended (a zombie waiting
// to be reaped has ended), read from /proc/PID/stat.
bool isProcessRunning(pid_t pid);

}  // namespace kestrane::platform
