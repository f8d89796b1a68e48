#pragma once

#include <string>
#include <sys/types.h>

namespace kestrane::helper {

// The privileged helper's work: serve "remove this path" to one process.
//
// Started (with administrator rights) as `trelmor SOCKET PID`: SOCKET is the
// absolute path of the socket to create, in a folder that belongs to the
// user running process PID and that nobody else may enter (mode 0700);
// its last component is a connection name (org.kestrane.trelmor.NUMBER).
// The helper creates the socket there (mode 0600, owned by that user), and
// serves only connections whose peer is process PID itself (SO_PEERCRED).
// It removes only absolute paths of plain names, never following a link
// (platform::removePermanently), and ends as soon as process PID ends
// (watched through a pidfd, or /proc/PID where there is none), removing
// its socket. See docs/trelmor.md.
class TrelmorServer {
public:
    TrelmorServer(std::string socketPath, pid_t requester);
    ~TrelmorServer();
    TrelmorServer(const TrelmorServer&) = delete;
    TrelmorServer& operator=(const TrelmorServer&) = delete;

    // Checks the arguments, creates the socket and serves until the
    // requester ends. Returns the exit status: 0 after the requester ended,
    // 2 for arguments it refuses, 1 when it could not serve.
    int run();

private:
    bool prepare();
    bool requesterIsRunning() const;
    // Serves one accepted connection until its peer closes it or the requester ends.
    void serve(int connection);
    void removeSocket();

    std::string m_socketPath;
    pid_t m_requester;
    uid_t m_requesterUid = 0;
    gid_t m_requesterGid = 0;
    int m_folderFd = -1;
    std::string m_socketName;
    int m_listenFd = -1;
    int m_pidFd = -1;
};

// Parses the two arguments and runs the server; what main() calls.
int runTrelmor(int argc, char** argv);

}  // namespace kestrane::helper
