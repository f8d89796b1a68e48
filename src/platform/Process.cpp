#include "platform/Process.h"

#include "platform/UserFolders.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrane::platform {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> findProgram(const std::string& name) {
    if (name.empty()) return std::nullopt;
    if (name.front() == '/') return isExecutableFile(name) ? std::optional<std::string>(name) : std::nullopt;
    const char* pathVariable = std::getenv("PATH");
    // The usual places when PATH is unset or misses them (pkexec and sudo live in /usr/bin).
    std::string folders = pathVariable != nullptr ? pathVariable : "";
    folders += ":/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = joinPath(folder, name);
            if (isExecutableFile(candidate)) return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string executableFolder() {
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return {};
    buffer.resize(static_cast<std::size_t>(length));
    const std::size_t slash = buffer.rfind('/');
    return slash == std::string::npos ? std::string() : slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

Elevation availableElevation() {
    if (::geteuid() == 0) return Elevation::alreadyAdministrator;
    if (findProgram("pkexec")) return Elevation::pkexec;
    if (findProgram("sudo")) return Elevation::sudo;
    return Elevation::unavailable;
}

std::string elevationUnavailableMessage() {
    return "Administrator rights are needed, but neither pkexec (polkit) nor sudo was found";
}

std::vector<std::string> elevatedCommand(const std::vector<std::string>& argv, Elevation elevation) {
    std::vector<std::string> command;
    switch (elevation) {
        case Elevation::pkexec:
            command.push_back(findProgram("pkexec").value_or("/usr/bin/pkexec"));
            break;
        case Elevation::sudo:
            command = {findProgram("sudo").value_or("/usr/bin/sudo"), "-n", "--"};
            break;
        case Elevation::alreadyAdministrator:
        case Elevation::unavailable:
            break;
    }
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

Launch launchProcess(const std::vector<std::string>& argvIn, const LaunchOptions& options) {
    Launch launch;
    if (argvIn.empty() || argvIn.front().empty() || argvIn.front().front() != '/') {
        launch.error = Error::fromErrno(EINVAL, "A program must be given by its absolute path",
                                        argvIn.empty() ? std::string() : argvIn.front());
        return launch;
    }
    std::vector<std::string> command = argvIn;
    if (options.privileges == Privileges::administrator) {
        const Elevation elevation = availableElevation();
        if (elevation == Elevation::unavailable) {
            launch.error = Error{"process", ENOENT, elevationUnavailableMessage(), argvIn.front()};
            return launch;
        }
        command = elevatedCommand(argvIn, elevation);
    }
    // Everything the child needs is made before fork: after it, a child of a
    // threaded process may only make async-signal-safe calls.
    std::vector<char*> argv;
    argv.reserve(command.size() + 1);
    for (auto& argument : command) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        launch.error = Error::fromErrno(errno, "Could not start the program", command.front());
        return launch;
    }
    const bool newSession = options.newSession;
    const bool keepTerminal = options.keepTerminal;

    const pid_t pid = ::fork();
    if (pid < 0) {
        launch.error = Error::fromErrno(errno, "Could not start the program", command.front());
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        return launch;
    }
    if (pid == 0) {
        struct sigaction defaultAction {};
        defaultAction.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &defaultAction, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (newSession) ::setsid();
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            if (!keepTerminal) ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            if (!keepTerminal) ::dup2(devNull, STDERR_FILENO);
            if (devNull > STDERR_FILENO) ::close(devNull);
        }
        ::execv(argv[0], argv.data());
        const int why = errno;
        [[maybe_unused]] const ssize_t written = ::write(errorPipe[1], &why, sizeof why);
        ::_exit(127);
    }
    ::close(errorPipe[1]);
    int childErrno = 0;
    ssize_t got;
    do {
        got = ::read(errorPipe[0], &childErrno, sizeof childErrno);
    } while (got < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (got == static_cast<ssize_t>(sizeof childErrno)) {
        ::waitpid(pid, nullptr, 0);
        launch.error = Error::fromErrno(childErrno, "Could not start the program", command.front());
        return launch;
    }
    launch.pid = pid;
    return launch;
}

namespace {

ChildExit exitOf(int status) {
    ChildExit result;
    result.ended = true;
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

}  // namespace

ChildExit pollChild(pid_t pid) {
    int status = 0;
    pid_t got;
    do {
        got = ::waitpid(pid, &status, WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == 0) return {};
    if (got < 0) return ChildExit{true, -1, 0};
    return exitOf(status);
}

ChildExit waitForChild(pid_t pid) {
    int status = 0;
    pid_t got;
    do {
        got = ::waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return ChildExit{true, -1, 0};
    return exitOf(status);
}

bool isProcessRunning(pid_t pid) {
    if (pid <= 0) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return false;
    const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // "PID (COMMAND) STATE ...": the command may hold ")" itself, so the state
    // follows the last one.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return false;
    const char state = line[close + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

}  // namespace kestrane::platform
