#include "platform/Process.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace kestrane::platform {
namespace {

using test::TempDir;

// The session id of a process (field 6 of /proc/PID/stat).
long sessionOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string state;
    long parent = 0, group = 0, session = 0;
    fields >> state >> parent >> group >> session;
    return session;
}

TEST(ProcessTest, AChildRunsInItsOwnSessionAndItsExitStatusIsCollected) {
    TempDir temp;
    const std::string fifo = temp / "hold";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The child waits on the FIFO until the test lets it go.
    const auto launch = launchProcess({"/bin/sh", "-c", "read line < \"$0\"; exit 7", fifo});
    ASSERT_TRUE(launch) << (launch.error ? launch.error->describe() : "");
    EXPECT_TRUE(isProcessRunning(launch.pid));
    EXPECT_FALSE(pollChild(launch.pid).ended);
    EXPECT_EQ(sessionOf(launch.pid), launch.pid);
    EXPECT_NE(sessionOf(launch.pid), sessionOf(::getpid()));

    std::ofstream(fifo) << "go\n";
    const ChildExit exit = waitForChild(launch.pid);
    EXPECT_TRUE(exit.ended);
    EXPECT_EQ(exit.exitStatus, 7);
    EXPECT_FALSE(isProcessRunning(launch.pid));
}

TEST(ProcessTest, AnEndedChildThatWasNotReapedDoesNotCountAsRunning) {
    const auto launch = launchProcess({"/bin/true"});
    ASSERT_TRUE(launch);
    // /proc/PID stays while it is a zombie; it is not running.
    ASSERT_TRUE(test::pollUntil([&] { return !isProcessRunning(launch.pid); }, std::chrono::seconds(10)));
    const ChildExit exit = pollChild(launch.pid);
    EXPECT_TRUE(exit.ended);
    EXPECT_EQ(exit.exitStatus, 0);
    EXPECT_TRUE(isProcessRunning(::getpid()));
    EXPECT_FALSE(isProcessRunning(0));
}

TEST(ProcessTest, AProgramThatCannotRunGivesAnErrorAndNoChild) {
    const auto relative = launchProcess({"sh", "-c", "true"});
    EXPECT_FALSE(relative);
    ASSERT_TRUE(relative.error.has_value());
    EXPECT_EQ(relative.error->code, EINVAL);

    const auto missing = launchProcess({"/nonexistent/program"});
    EXPECT_FALSE(missing);
    ASSERT_TRUE(missing.error.has_value());
    EXPECT_EQ(missing.error->code, ENOENT);
    EXPECT_EQ(missing.error->path, "/nonexistent/program");
}

TEST(ProcessTest, AdministratorRightsAreThoseOfRootOrTheElevationsCommand) {
    const std::vector<std::string> argv = {"/bin/sh", "-c", "exit 0"};
    EXPECT_EQ(elevatedCommand(argv, Elevation::alreadyAdministrator), argv);
    const auto sudo = elevatedCommand(argv, Elevation::sudo);
    ASSERT_EQ(sudo.size(), argv.size() + 3);
    EXPECT_EQ(std::vector<std::string>(sudo.begin() + 1, sudo.begin() + 3), (std::vector<std::string>{"-n", "--"}));
    if (::geteuid() != 0) GTEST_SKIP() << "starting a program as administrator without asking needs root";
    EXPECT_EQ(availableElevation(), Elevation::alreadyAdministrator);
    const auto launch = launchProcess({"/bin/sh", "-c", "test \"$(id -u)\" = 0"}, {.privileges = Privileges::administrator});
    ASSERT_TRUE(launch);
    EXPECT_EQ(waitForChild(launch.pid).exitStatus, 0);
}

}  // namespace
}  // namespace kestrane::platform
