// The privileged helper, run unprivileged: what it serves to the process that
// started it, and what it refuses to everybody else.
#include "platform/HelperProtocol.h"
#include "platform/Process.h"

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrane {
namespace {

using platform::HelperProtocol;
using test::ChildProcess;
using test::TempDir;
using Outcome = HelperProtocol::Outcome;

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Connects to a Unix socket; -1 with errno on failure. Async-signal-safe, so
// that a forked child may call it.
int connectTo(const char* socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath, sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int why = errno;
        ::close(fd);
        errno = why;
        return -1;
    }
    return fd;
}

class TrelmorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = m_temp.makeDir("private");
        ::chmod(m_folder.c_str(), 0700);
        m_socket = m_folder + "/org.kestrane.trelmor.123456";
    }

    // Starts the helper for `requester` and waits for its socket.
    std::unique_ptr<ChildProcess> start(pid_t requester) {
        auto helper = std::make_unique<ChildProcess>(KESTRANE_TRELMOR,
                                                     std::vector<std::string>{m_socket, std::to_string(requester)});
        EXPECT_TRUE(test::pollUntil([&] { return exists(m_socket); }, std::chrono::seconds(10)))
            << "the helper made no socket";
        return helper;
    }

    HelperProtocol::Reply ask(int connection, const std::string& path) {
        EXPECT_TRUE(HelperProtocol::writeAll(connection, HelperProtocol::encodeRequest(path)));
        const auto reply = HelperProtocol::readReply(connection);
        EXPECT_TRUE(reply.has_value()) << "no reply for " << path;
        return reply.value_or(HelperProtocol::Reply{});
    }

    TempDir m_temp;
    std::string m_folder;
    std::string m_socket;
};

TEST_F(TrelmorTest, RemovesWhatItsRequesterAsksAndRefusesPathsThatAreNotPlain) {
    const std::string file = m_temp.writeFile("data/file.txt", "x");
    const std::string tree = m_temp.makeDir("data/tree");
    m_temp.writeFile("data/tree/inner/deep.txt", "y");
    const std::string outside = m_temp.writeFile("outside/keep.txt", "keep");
    ::symlink((m_temp / "outside").c_str(), (tree + "/link-out").c_str());
    const std::string bystander = m_temp.writeFile("data/bystander.txt", "z");

    const auto helper = start(::getpid());
    const int connection = connectTo(m_socket.c_str());
    ASSERT_GE(connection, 0) << std::strerror(errno);

    EXPECT_EQ(ask(connection, file).outcome, Outcome::removed);
    EXPECT_EQ(ask(connection, tree).outcome, Outcome::removed);
    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(exists(tree));
    EXPECT_TRUE(exists(outside));

    EXPECT_EQ(ask(connection, "data/bystander.txt").outcome, Outcome::refused);
    EXPECT_EQ(ask(connection, m_temp / "data/tree/../bystander.txt").outcome, Outcome::refused);
    EXPECT_EQ(ask(connection, m_temp / "data/./bystander.txt").outcome, Outcome::refused);
    EXPECT_EQ(ask(connection, "/").outcome, Outcome::refused);
    EXPECT_TRUE(exists(bystander));

    const auto missing = ask(connection, m_temp / "data/never-there");
    EXPECT_EQ(missing.outcome, Outcome::failed);
    EXPECT_EQ(missing.error, ENOENT);
    ::close(connection);
}

TEST_F(TrelmorTest, AnotherProcessOfTheSameUserIsCutOffUnserved) {
    const std::string file = m_temp.writeFile("data/precious.jpg", "photo");
    const auto helper = start(::getpid());
    const std::string request = HelperProtocol::encodeRequest(file);
    const std::string socketPath = m_socket;

    const pid_t stranger = ::fork();
    ASSERT_GE(stranger, 0);
    if (stranger == 0) {
        // The same user, another process: it may connect, but gets no reply.
        const int fd = connectTo(socketPath.c_str());
        if (fd < 0) ::_exit(3);
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char reply[5];
        const ssize_t got = ::recv(fd, reply, sizeof reply, MSG_WAITALL);
        // Closed without a word: the end of the stream, or a reset when the
        // helper closed it with the request unread.
        ::_exit(got <= 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(stranger, &status, 0), stranger);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not connect; 1: the stranger got a reply";
    EXPECT_TRUE(exists(file));

    // The requester is still served afterwards.
    const int connection = connectTo(m_socket.c_str());
    ASSERT_GE(connection, 0);
    EXPECT_EQ(ask(connection, file).outcome, Outcome::removed);
    ::close(connection);
}

TEST_F(TrelmorTest, OnlyTheRequestingUserCanReachTheSocket) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to try the socket as another user";
    const auto helper = start(::getpid());
    const std::string socketPath = m_socket;
    test::expectAsUnprivilegedUser([&] { return connectTo(socketPath.c_str()) < 0 && errno == EACCES; });
}

TEST_F(TrelmorTest, EndsWithItsRequesterAndTakesItsSocketAlong) {
    ChildProcess longRequester("/bin/sleep", {"600"});
    const auto helper = start(longRequester.pid());
    EXPECT_TRUE(platform::isProcessRunning(helper->pid()));

    longRequester.sendSignal(SIGKILL);
    longRequester.wait();
    ASSERT_TRUE(test::pollUntil([&] { return !platform::isProcessRunning(helper->pid()); }, std::chrono::seconds(10)))
        << "the helper outlived its requester";
    EXPECT_EQ(helper->wait().exitStatus, 0);
    EXPECT_FALSE(exists(m_socket));
}

TEST_F(TrelmorTest, RefusesToStartOnAFolderOthersMayEnter) {
    ::chmod(m_folder.c_str(), 0755);
    const auto result = ChildProcess::run(KESTRANE_TRELMOR, {m_socket, std::to_string(::getpid())});
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find("0700"), std::string::npos) << result.err;
    EXPECT_FALSE(exists(m_socket));

    ::chmod(m_folder.c_str(), 0700);
    EXPECT_EQ(ChildProcess::run(KESTRANE_TRELMOR, {m_socket, "not-a-pid"}).exitStatus, 2);
    EXPECT_EQ(ChildProcess::run(KESTRANE_TRELMOR, {m_folder + "/wrong-name", std::to_string(::getpid())}).exitStatus, 2);
    EXPECT_EQ(ChildProcess::run(KESTRANE_TRELMOR, {"relative/org.kestrane.trelmor.123456", std::to_string(::getpid())}).exitStatus, 2);
}

}  // namespace
}  // namespace kestrane
