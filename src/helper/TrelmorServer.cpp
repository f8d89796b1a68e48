#include "helper/TrelmorServer.h"

#include "platform/HelperProtocol.h"
#include "platform/OpenParent.h"
#include "platform/PermanentRemoval.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrane::helper {

using platform::HelperProtocol;

namespace {

void complain(const std::string& text) {
    std::fprintf(stderr, "trelmor: %s\n", text.c_str());
}

// The real user and group of a process, from /proc/PID/status.
bool readOwner(pid_t pid, uid_t& uid, gid_t& gid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    bool haveUid = false;
    bool haveGid = false;
    for (std::string line; std::getline(status, line);) {
        std::istringstream fields(line);
        std::string key;
        long long value = -1;
        fields >> key >> value;
        if (key == "Uid:" && value >= 0) {
            uid = static_cast<uid_t>(value);
            haveUid = true;
        } else if (key == "Gid:" && value >= 0) {
            gid = static_cast<gid_t>(value);
            haveGid = true;
        }
    }
    return haveUid && haveGid;
}

bool isConnectionName(std::string_view name) {
    const std::string_view prefix = HelperProtocol::kNamePrefix;
    if (name.size() != prefix.size() + 7 || name.substr(0, prefix.size()) != prefix || name[prefix.size()] != '.')
        return false;
    for (const char c : name.substr(prefix.size() + 1))
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

TrelmorServer::TrelmorServer(std::string socketPath, pid_t requester)
    : m_socketPath(std::move(socketPath)), m_requester(requester) {}

TrelmorServer::~TrelmorServer() {
    if (m_listenFd >= 0) ::close(m_listenFd);
    if (m_pidFd >= 0) ::close(m_pidFd);
    if (m_folderFd >= 0) ::close(m_folderFd);
}

bool TrelmorServer::requesterIsRunning() const {
    if (m_pidFd >= 0) {
        pollfd watch{m_pidFd, POLLIN, 0};
        return ::poll(&watch, 1, 0) == 0;  // readable once the process has ended
    }
    std::ifstream stat("/proc/" + std::to_string(m_requester) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
}

bool TrelmorServer::prepare() {
    // The requester is watched through a descriptor of the process itself, so
    // that a new process given the same id later is never taken for it.
    m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_requester, 0));
    if (m_pidFd < 0 && errno != ENOSYS) {
        complain("process " + std::to_string(m_requester) + " is not running");
        return false;
    }
    if (!readOwner(m_requester, m_requesterUid, m_requesterGid) || !requesterIsRunning()) {
        complain("process " + std::to_string(m_requester) + " is not running");
        return false;
    }

    std::optional<Error> error;
    auto parent = platform::OpenParent::open(m_socketPath, error);
    if (!parent) {
        complain("cannot reach the socket's folder: " + (error ? error->describe() : std::string()));
        return false;
    }
    m_socketName = parent->name();
    if (!isConnectionName(m_socketName)) {
        complain("the socket's name is not a connection name: " + m_socketName);
        return false;
    }
    // The folder itself, not a link to one: opened as a folder, without following.
    const std::size_t slash = m_socketPath.find_last_of('/');
    const std::string folder = slash == 0 ? "/" : m_socketPath.substr(0, slash);
    auto folderParent = platform::OpenParent::open(folder, error);
    if (!folderParent) {
        complain("cannot reach the socket's folder: " + (error ? error->describe() : std::string()));
        return false;
    }
    m_folderFd = ::openat(folderParent->fd(), folderParent->name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (m_folderFd < 0 || ::fstat(m_folderFd, &info) != 0) {
        complain("cannot open the socket's folder " + folder + ": " + std::strerror(errno));
        return false;
    }
    if (info.st_uid != m_requesterUid || (info.st_mode & 077) != 0) {
        complain("the socket's folder must belong to the requesting user and be closed to everybody else (mode 0700)");
        return false;
    }

    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        complain(std::string("cannot make a socket: ") + std::strerror(errno));
        return false;
    }
    // Bound through the open folder, so that the socket is made exactly in the
    // folder that was checked, whatever happens to its path meanwhile; under
    // a name of its own first, and given its real name only once it listens,
    // so that a client that sees the name can connect.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string preparing = "." + m_socketName + ".preparing";
    const std::string bindPath = "/proc/self/fd/" + std::to_string(m_folderFd) + "/" + preparing;
    if (bindPath.size() >= sizeof address.sun_path) {
        complain("the socket's name is too long");
        return false;
    }
    std::memcpy(address.sun_path, bindPath.c_str(), bindPath.size() + 1);
    const mode_t previousMask = ::umask(0177);  // the socket is made 0600
    const int bound = ::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int bindErrno = errno;
    ::umask(previousMask);
    if (bound != 0) {
        complain("cannot create the socket " + m_socketPath + ": " + std::strerror(bindErrno));
        return false;
    }
    if (::fchownat(m_folderFd, preparing.c_str(), m_requesterUid, m_requesterGid, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::listen(m_listenFd, 4) != 0 ||
        ::renameat2(m_folderFd, preparing.c_str(), m_folderFd, m_socketName.c_str(), RENAME_NOREPLACE) != 0) {
        complain(std::string("cannot offer the socket: ") + std::strerror(errno));
        ::unlinkat(m_folderFd, preparing.c_str(), 0);
        return false;
    }
    return true;
}

void TrelmorServer::removeSocket() {
    if (m_folderFd >= 0 && !m_socketName.empty()) ::unlinkat(m_folderFd, m_socketName.c_str(), 0);
}

void TrelmorServer::serve(int connection) {
    for (;;) {
        pollfd watch[2] = {{connection, POLLIN, 0}, {m_pidFd, POLLIN, 0}};
        const nfds_t count = m_pidFd >= 0 ? 2 : 1;
        const int ready = ::poll(watch, count, m_pidFd >= 0 ? -1 : 1000);
        if (ready < 0 && errno != EINTR) return;
        if (!requesterIsRunning()) return;
        if (ready <= 0 || !(watch[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const auto path = HelperProtocol::readRequest(connection);
        if (!path) return;  // closed, or not a request: the connection ends
        std::string reply;
        if (HelperProtocol::refusalReason(*path)) {
            reply = HelperProtocol::encodeReply(HelperProtocol::Outcome::refused, 0);
        } else if (const auto error = platform::removePermanently(*path)) {
            reply = HelperProtocol::encodeReply(HelperProtocol::Outcome::failed, error->code != 0 ? error->code : EIO);
        } else {
            reply = HelperProtocol::encodeReply(HelperProtocol::Outcome::removed, 0);
        }
        if (!HelperProtocol::writeAll(connection, reply)) return;
    }
}

int TrelmorServer::run() {
    if (!prepare()) return 2;
    while (requesterIsRunning()) {
        pollfd watch[2] = {{m_listenFd, POLLIN, 0}, {m_pidFd, POLLIN, 0}};
        const nfds_t count = m_pidFd >= 0 ? 2 : 1;
        const int ready = ::poll(watch, count, m_pidFd >= 0 ? -1 : 1000);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0 || !(watch[0].revents & POLLIN)) continue;
        const int connection = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        ucred peer{};
        socklen_t length = sizeof peer;
        // Only the requesting process itself is served; any other peer, even
        // one of the same user, is cut off before a byte is read.
        if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid == m_requester &&
            peer.uid == m_requesterUid)
            serve(connection);
        ::close(connection);
    }
    removeSocket();
    return 0;
}

int runTrelmor(int argc, char** argv) {
    if (argc != 3) {
        complain("usage: trelmor SOCKET PID");
        return 2;
    }
    char* end = nullptr;
    errno = 0;
    const long long pid = std::strtoll(argv[2], &end, 10);
    if (errno != 0 || end == argv[2] || *end != '\0' || pid <= 1 || pid > 0x3fffffff) {
        complain(std::string("not a process id: ") + argv[2]);
        return 2;
    }
    if (platform::HelperProtocol::refusalReason(argv[1])) {
        complain(std::string("the socket must be an absolute path of plain names: ") + argv[1]);
        return 2;
    }
    TrelmorServer server(argv[1], static_cast<pid_t>(pid));
    return server.run();
}

}  // namespace kestrane::helper
