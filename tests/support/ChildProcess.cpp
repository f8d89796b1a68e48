#include "support/ChildProcess.h"

#include "support/TestSupport.h"

#include <csignal>
#include <fstream>
#include <initializer_list>
#include <string_view>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrane::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args, int uid) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        // Start as from a shell: the signals the program may handle have their
        // default action and none is blocked, whatever the test runner set.
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) ::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (uid >= 0) {
            ::setgroups(0, nullptr);
            if (::setgid(static_cast<gid_t>(uid)) != 0 || ::setuid(static_cast<uid_t>(uid)) != 0) ::_exit(126);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    m_outFd = outPipe[0];
    m_errFd = errPipe[0];
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && !m_waited) {
        ::kill(m_pid, SIGKILL);
        wait();
    }
}

void ChildProcess::sendSignal(int signal) const {
    if (m_pid > 0) ::kill(m_pid, signal);
}

namespace {

// Whether the signal's bit is set in any of the masks of /proc/<pid>/status
// named by the prefixes (such as "SigCgt:").
bool signalInStatus(pid_t pid, int signal, std::initializer_list<std::string_view> masks) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        for (const std::string_view mask : masks)
            if (line.rfind(mask, 0) == 0 && (std::stoull(line.substr(mask.size()), nullptr, 16) & (1ull << (signal - 1))))
                return true;
    return false;
}

}  // namespace

bool ChildProcess::waitUntilCatching(int signal, std::chrono::milliseconds timeout) const {
    return pollUntil([&] { return signalInStatus(m_pid, signal, {"SigCgt:"}); }, timeout);
}

bool ChildProcess::waitUntilTaken(int signal, std::chrono::milliseconds timeout) const {
    return pollUntil([&] { return !signalInStatus(m_pid, signal, {"SigPnd:", "ShdPnd:"}); }, timeout);
}

bool ChildProcess::waitForOutput(std::chrono::milliseconds timeout) const {
    pollfd fd = {m_outFd, POLLIN, 0};
    return ::poll(&fd, 1, static_cast<int>(timeout.count())) == 1;
}

bool ChildProcess::readOutputUntil(const std::function<bool(const std::string& outputSoFar)>& done,
                                   std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[65536];
    while (!done(m_outputRead)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || m_outFd < 0) return false;
        pollfd fd = {m_outFd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        const ssize_t n = ::read(m_outFd, buffer, sizeof buffer);
        if (n <= 0) return done(m_outputRead);
        m_outputRead.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

ChildProcess::Result ChildProcess::wait() {
    Result result;
    result.out = std::move(m_outputRead);
    if (m_pid <= 0) return result;
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_waited = true;
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

ChildProcess::Result ChildProcess::run(const std::string& program, const std::vector<std::string>& args, int uid) {
    ChildProcess child(program, args, uid);
    return child.wait();
}

}  // namespace kestrane::test
