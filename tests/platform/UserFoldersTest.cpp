#include "platform/UserFolders.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace kestrane::platform;

std::string accountHome() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

class UserFoldersTest : public kestrane::test::IsolatedHomeTest {};

TEST_F(UserFoldersTest, HomeComesFromAnAbsoluteHomeVariableOrTheAccount) {
    EXPECT_EQ(homeFolder(), m_home);

    ::setenv("HOME", (m_home + "//").c_str(), 1);
    EXPECT_EQ(homeFolder(), m_home);
    ::setenv("HOME", "/", 1);
    EXPECT_EQ(homeFolder(), "/");

    std::string expected = accountHome();
    while (expected.size() > 1 && expected.back() == '/') expected.pop_back();
    for (const char* unusable : {"relative/home", "", "~"}) {
        ::setenv("HOME", unusable, 1);
        EXPECT_EQ(homeFolder(), expected) << '"' << unusable << '"';
    }
    ::unsetenv("HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(homeFolder(), expected);
    EXPECT_EQ(configHome(), joinPath(expected, ".config"));
}

TEST_F(UserFoldersTest, XdgFoldersMustBeAbsoluteToCount) {
    for (const char* unusable : {"relative/config", ""}) {
        ::setenv("XDG_CONFIG_HOME", unusable, 1);
        ::setenv("XDG_DATA_HOME", unusable, 1);
        EXPECT_EQ(configHome(), m_home + "/.config");
        EXPECT_EQ(dataHome(), m_home + "/.local/share");
    }
    ::setenv("XDG_CONFIG_HOME", "/etc/xdg-test/", 1);
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(preferencesFilePath(), "/etc/xdg-test/kestrane/preferences.json");
    EXPECT_EQ(applicationSupportFolder(), "/srv/data/Kestrane");

    // Changes of HOME show at once in the folders derived from it.
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/other", 1);
    EXPECT_EQ(applicationSupportFolder(), "/home/other/.local/share/Kestrane");
}

TEST_F(UserFoldersTest, JoinPathPutsExactlyOneSlashBetweenParts) {
    const std::vector<std::array<const char*, 3>> cases = {
        {"/a", "b", "/a/b"}, {"/a/", "b", "/a/b"}, {"/a", "/b", "/a/b"}, {"/a/", "/b/c", "/a/b/c"},
        {"/", "x", "/x"},    {"", "x", "x"},       {"/a", "", "/a"},
    };
    for (const auto& [base, part, joined] : cases) EXPECT_EQ(joinPath(base, part), joined) << base << " + " << part;
}

}  // namespace
