#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kestrane::test {

// A program run with its standard output and error captured (standard input
// is /dev/null, signals at their default actions), for end-to-end tests of
// the built binaries.
class ChildProcess {
public:
    struct Result {
        int exitStatus = -1;  // -1 when it ended by a signal
        int signal = 0;
        std::string out;
        std::string err;
    };

    // Starts `program` with `args`; with `uid` set the child drops to that
    // user (and its group) first.
    ChildProcess(const std::string& program, const std::vector<std::string>& args, int uid = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    void sendSignal(int signal) const;
    // Waits until the program has installed a handler for the signal (its
    // SigCgt in /proc), so that a signal sent next is not fatal by default.
    bool waitUntilCatching(int signal, std::chrono::milliseconds timeout) const;
    // Waits until a signal sent to the program is no longer pending (its
    // handler has taken it), so that the same signal sent next is not merged
    // with it.
    bool waitUntilTaken(int signal, std::chrono::milliseconds timeout) const;
    // Waits until standard output has something to read, without reading it.
    bool waitForOutput(std::chrono::milliseconds timeout) const;
    // Reads standard output as it comes until `done` holds for what was read
    // so far (true) or the time runs out or the output ends (false). What is
    // read here is part of wait()'s Result::out all the same.
    bool readOutputUntil(const std::function<bool(const std::string& outputSoFar)>& done,
                         std::chrono::milliseconds timeout);
    // Reads both outputs to their end and waits for the exit.
    Result wait();

    // Start and wait in one.
    static Result run(const std::string& program, const std::vector<std::string>& args, int uid = -1);

private:
    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    bool m_waited = false;
    std::string m_outputRead;  // read by readOutputUntil, not yet handed to wait()
};

}  // namespace kestrane::test
