#pragma once

#include "removal/BashScript.h"

#include <functional>
#include <memory>
#include <string>

#include <sys/types.h>

namespace kestrane {

namespace platform {
class Timer;
}

// One run of a generated script: its text is written to a new file in the
// scripts folder ($XDG_DATA_HOME/Kestrane/Scripts, made private when
// missing), run by /bin/sh in a process of its own (a session of its own as
// the user; with administrator rights through AuthorizationManager), watched
// every half second until it ends, and the file is removed. The completion
// is called once, on the main queue: true when the script ran to its end,
// false when it could not be written or started, or the rights were refused.
//
// Made with create(); lives until its completion (BashTasksManager keeps it).
class BashTask : public std::enable_shared_from_this<BashTask> {
public:
    using Completion = std::function<void(bool ran)>;  // see failureReason() when false

    static std::shared_ptr<BashTask> create(std::shared_ptr<const BashScript> script, Completion completion);
    BashTask(std::shared_ptr<const BashScript> script, Completion completion);
    ~BashTask();
    BashTask(const BashTask&) = delete;
    BashTask& operator=(const BashTask&) = delete;

    // Starts the task once (a second start is ignored); `ended` is called
    // after the completion, on the main queue. Main queue.
    void start(std::function<void(const std::shared_ptr<BashTask>&)> ended);

    // The process running the script, once started; -1 before and when it could not start.
    pid_t taskProcessId() const { return m_pid; }
    // Why the script did not run to its end; empty when it did.
    const std::string& failureReason() const { return m_failureReason; }
    // The file the script was written to, while it exists.
    const std::string& shellScriptPath() const { return m_scriptPath; }

    // $XDG_DATA_HOME/Kestrane/Scripts.
    static std::string scriptsFolder();

private:
    void runText(const std::string& text);
    void poll();
    void finish(bool ran);

    std::shared_ptr<const BashScript> m_script;
    Completion m_completion;
    std::function<void(const std::shared_ptr<BashTask>&)> m_ended;
    std::unique_ptr<platform::Timer> m_timer;
    std::string m_scriptPath;
    std::string m_failureReason;
    pid_t m_pid = -1;
    bool m_started = false;
    bool m_finished = false;
};

// Keeps the running tasks alive until they end. Main queue.
class BashTasksManager {
public:
    static BashTasksManager& shared();
    // Starts the task and keeps it until its completion.
    void addTask(const std::shared_ptr<BashTask>& task);
    std::size_t runningCount() const { return m_tasks.size(); }

private:
    std::vector<std::shared_ptr<BashTask>> m_tasks;
};

}  // namespace kestrane
