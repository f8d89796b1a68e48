#include "removal/BashTask.h"

#include "platform/MainQueue.h"
#include "platform/NoDestructor.h"
#include "platform/OperationQueue.h"
#include "platform/Process.h"
#include "platform/SafeFileOperations.h"
#include "platform/Timer.h"
#include "platform/UserFolders.h"
#include "removal/AuthorizationManager.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

constexpr std::chrono::milliseconds kPollInterval{500};

// Writes the text to a new file of its own (O_EXCL) in the folder; the path, or empty.
std::string writeScriptFile(const std::string& folder, const std::string& text) {
    if (!platform::makeFolders(folder)) return {};
    ::chmod(folder.c_str(), 0700);
    std::string name = platform::joinPath(folder, "remove-XXXXXX.sh");
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int fd = ::mkostemps(buffer.data(), 3, O_CLOEXEC);
    if (fd < 0) return {};
    const std::string path(buffer.data());
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            ::close(fd);
            ::unlink(path.c_str());
            return {};
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (::close(fd) != 0) {
        ::unlink(path.c_str());
        return {};
    }
    return path;
}

}  // namespace

std::string BashTask::scriptsFolder() {
    return platform::joinPath(platform::applicationSupportFolder(), "Scripts");
}

std::shared_ptr<BashTask> BashTask::create(std::shared_ptr<const BashScript> script, Completion completion) {
    return std::make_shared<BashTask>(std::move(script), std::move(completion));
}

BashTask::BashTask(std::shared_ptr<const BashScript> script, Completion completion)
    : m_script(std::move(script)), m_completion(std::move(completion)) {}

BashTask::~BashTask() {
    if (!m_scriptPath.empty()) ::unlink(m_scriptPath.c_str());
}

void BashTask::start(std::function<void(const std::shared_ptr<BashTask>&)> ended) {
    if (m_started) return;
    m_started = true;
    m_ended = std::move(ended);
    if (!m_script) {
        finish(false);
        return;
    }
    if (!m_script->allowBackgroundBuild()) {
        runText(m_script->text());
        return;
    }
    // The text reads the flags of every path: made away from the main queue.
    platform::backgroundQueue().async([self = shared_from_this()] {
        std::string text = self->m_script->text();
        platform::MainQueue::shared().async([self, text = std::move(text)] { self->runText(text); });
    });
}

void BashTask::runText(const std::string& text) {
    m_scriptPath = writeScriptFile(scriptsFolder(), text);
    if (m_scriptPath.empty()) {
        m_failureReason = "The script could not be written in " + scriptsFolder();
        finish(false);
        return;
    }
    const std::vector<std::string> argv = {"/bin/sh", m_scriptPath};
    const platform::Launch launch = m_script->requireAdminPrivileges()
                                        ? AuthorizationManager::shared().executeCommand(argv)
                                        : platform::launchProcess(argv);
    if (!launch) {
        m_failureReason = launch.error ? launch.error->describe() : "The script could not be started";
        finish(false);
        return;
    }
    m_pid = launch.pid;
    std::weak_ptr<BashTask> weak = weak_from_this();
    m_timer = platform::Timer::scheduled(kPollInterval, true, [weak] {
        if (const auto self = weak.lock()) self->poll();
    });
}

void BashTask::poll() {
    const platform::ChildExit exit = platform::pollChild(m_pid);
    if (!exit.ended) return;
    bool ran = exit.signal == 0 && exit.exitStatus == 0;
    if (m_script->requireAdminPrivileges() && AuthorizationManager::shared().noteExit(exit)) {
        ran = false;
        m_failureReason = "Administrator rights were refused";
    } else if (!ran) {
        m_failureReason = "The script ended with status " + std::to_string(exit.exitStatus);
    }
    finish(ran);
}

void BashTask::finish(bool ran) {
    if (m_finished) return;
    m_finished = true;
    if (m_timer) m_timer->invalidate();
    if (!m_scriptPath.empty()) {
        ::unlink(m_scriptPath.c_str());
        m_scriptPath.clear();
    }
    const auto self = shared_from_this();
    // Told on the main queue, never from inside start().
    platform::MainQueue::shared().async([self, ran] {
        if (self->m_completion) self->m_completion(ran);
        self->m_completion = nullptr;
        if (self->m_ended) self->m_ended(self);
        self->m_ended = nullptr;
    });
}

BashTasksManager& BashTasksManager::shared() {
    static platform::NoDestructor<BashTasksManager> manager;
    return *manager;
}

void BashTasksManager::addTask(const std::shared_ptr<BashTask>& task) {
    if (!task) return;
    m_tasks.push_back(task);
    task->start([this](const std::shared_ptr<BashTask>& ended) {
        std::erase(m_tasks, ended);
    });
}

}  // namespace kestrane
