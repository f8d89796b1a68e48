#include "removal/DuplicatesRootRemover.h"

#include "platform/HelperProtocol.h"
#include "platform/NoDestructor.h"
#include "platform/Process.h"
#include "platform/UserFolders.h"
#include "removal/AuthorizationManager.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#ifndef KESTRANE_INSTALLED_HELPER
#define KESTRANE_INSTALLED_HELPER "/usr/local/libexec/kestrane/trelmor"
#endif

namespace kestrane {

namespace {

using platform::HelperProtocol;

constexpr std::chrono::milliseconds kPollInterval{100};

std::string privateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string base = runtime != nullptr && runtime[0] == '/' ? runtime : "/tmp";
    std::string pattern = platform::joinPath(base, "kestrane-helper-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return {};  // made 0700
    return buffer.data();
}

std::string connectionName() {
    std::random_device device;
    std::uniform_int_distribution<int> number(100000, 999998);
    return std::string(HelperProtocol::kNamePrefix) + "." + std::to_string(number(device));
}

int connectTo(const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.size() >= sizeof address.sun_path) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

DuplicatesRootRemover& DuplicatesRootRemover::shared() {
    static platform::NoDestructor<DuplicatesRootRemover> remover;
    return *remover;
}

void DuplicatesRootRemover::setHelperProgram(std::string path) {
    std::lock_guard lock(m_mutex);
    m_helperProgram = std::move(path);
}

std::string DuplicatesRootRemover::helperProgram() const {
    std::lock_guard lock(m_mutex);
    return programPath();
}

std::string DuplicatesRootRemover::programPath() const {
    if (!m_helperProgram.empty()) return m_helperProgram;
    const std::string beside = platform::joinPath(platform::executableFolder(), "trelmor");
    if (::access(beside.c_str(), X_OK) == 0) return beside;
    return KESTRANE_INSTALLED_HELPER;
}

pid_t DuplicatesRootRemover::helperProcessId() const {
    std::lock_guard lock(m_mutex);
    return m_helperPid;
}

void DuplicatesRootRemover::dropConnection() {
    if (m_connection >= 0) ::close(m_connection);
    m_connection = -1;
}

bool DuplicatesRootRemover::connect() {
    if (m_connection >= 0) return true;
    // A helper already serving this process answers on its socket.
    if (!m_socketPath.empty() && m_helperPid > 0 && !platform::pollChild(m_helperPid).ended) {
        m_connection = connectTo(m_socketPath);
        if (m_connection >= 0) return true;
    }
    if (m_folder.empty()) m_folder = privateFolder();
    if (m_folder.empty()) return false;
    m_socketPath = platform::joinPath(m_folder, connectionName());

    const platform::Launch launch =
        AuthorizationManager::shared().executeCommand({programPath(), m_socketPath, std::to_string(::getpid())});
    if (!launch) return false;
    m_helperPid = launch.pid;
    const auto deadline = std::chrono::steady_clock::now() + kMaxTimeWait;
    while (std::chrono::steady_clock::now() < deadline) {
        m_connection = connectTo(m_socketPath);
        if (m_connection >= 0) return true;
        const platform::ChildExit exit = platform::pollChild(m_helperPid);
        if (exit.ended) {
            // Refused, or the helper could not start: no more prompts this run.
            AuthorizationManager::shared().setIsNeedAskAuthentication(false);
            m_helperPid = -1;
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

bool DuplicatesRootRemover::removeFileAtPath(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (HelperProtocol::refusalReason(path)) return false;
    // A helper that went away since the last request is started again, once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connect()) return false;
        if (HelperProtocol::writeAll(m_connection, HelperProtocol::encodeRequest(path))) {
            if (const auto reply = HelperProtocol::readReply(m_connection))
                return reply->outcome == HelperProtocol::Outcome::removed;
        }
        dropConnection();
    }
    return false;
}

}  // namespace kestrane
