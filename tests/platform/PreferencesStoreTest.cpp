#include "platform/PreferencesStore.h"

#include "platform/Log.h"
#include "platform/UserFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using kestrane::platform::PreferencesStore;
using nlohmann::json;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> kFileAndLock = {"preferences.json", "preferences.json.lock"};

class PreferencesStoreTest : public kestrane::test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        m_folder = m_sandbox.makeDir("prefs");
        m_path = m_folder + "/preferences.json";
        m_previousSink = kestrane::platform::setWarningSink(
            [this](std::string_view text) { m_logged.emplace_back(text); });
    }
    void TearDown() override {
        kestrane::platform::setWarningSink(std::move(m_previousSink));
        IsolatedHomeTest::TearDown();
    }

    std::string m_folder;
    std::string m_path;
    std::vector<std::string> m_logged;
    std::function<void(std::string_view)> m_previousSink;
};

TEST_F(PreferencesStoreTest, EveryChangeIsOnDiskAtOnceAndSurvivesReopening) {
    PreferencesStore store(m_path);
    EXPECT_TRUE(store.keys().empty());
    EXPECT_FALSE(fs::exists(m_path));  // nothing is written before the first change
    const std::vector<std::pair<std::string, json>> values = {
        {"flag", false},  {"big", std::numeric_limits<std::uint64_t>::max()},
        {"negative", -12}, {"ratio", 0.125},
        {"text", "caf\xC3\xA9 \xC2\xA0 \"quoted\"\n"}, {"list", json::array({"/a b", "/c"})},
    };
    for (const auto& [key, value] : values) {
        store.setObject(key, value);
        EXPECT_EQ(PreferencesStore(m_path).object(key), value) << key;
    }
    store.setObject("gone", 1);
    store.removeObject("gone");
    store.removeObject("never there");

    PreferencesStore reopened(m_path);
    for (const auto& [key, value] : values) EXPECT_EQ(reopened.object(key), value) << key;
    EXPECT_TRUE(reopened.object("big")->is_number_unsigned());
    EXPECT_EQ(reopened.object("gone"), std::nullopt);
    EXPECT_EQ(reopened.keys().size(), values.size());
    EXPECT_TRUE(reopened.isPersistent());
    EXPECT_TRUE(reopened.warnings().empty());
    // Written whole: no temporary file left (only the writers' lock), readable by its owner only.
    EXPECT_EQ(namesIn(m_folder), kFileAndLock);
    struct stat info {};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(PreferencesStoreTest, TransientValuesShadowTheStoredOnesWithoutEverBeingWritten) {
    PreferencesStore store(m_path);
    store.setObject("size", 1000);
    store.setTransientObject("size", 0);
    store.setTransientObject("hidden", true);
    EXPECT_EQ(store.object("size"), json(0));
    EXPECT_EQ(store.object("hidden"), json(true));
    // A stored change underneath is written, and still shadowed.
    store.setObject("size", 2000);
    EXPECT_EQ(store.object("size"), json(0));
    PreferencesStore onDisk(m_path);
    EXPECT_EQ(onDisk.object("size"), json(2000));
    EXPECT_EQ(onDisk.object("hidden"), std::nullopt);

    store.clearTransientObjects();
    EXPECT_EQ(store.object("size"), json(2000));
    EXPECT_EQ(store.object("hidden"), std::nullopt);
}

TEST_F(PreferencesStoreTest, UnusableFilesAreSetAsideWithoutReplacingEarlierBackupsAndDefaultsApply) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{\"a\": tru", "not valid JSON"},
        {"", "not valid JSON"},
        {"[1, 2, 3]", "does not hold a JSON object"},
        {"\"just text\"", "does not hold a JSON object"},
    };
    // All made within the same second or so; the writers' lock comes with the first.
    std::set<std::string> backups = {"preferences.json.lock"};
    for (const auto& [content, reason] : cases) {
        fs::remove(m_path);
        m_logged.clear();
        m_sandbox.writeFile("prefs/preferences.json", content);

        PreferencesStore store(m_path);
        EXPECT_TRUE(store.keys().empty()) << content;
        ASSERT_EQ(store.warnings().size(), 1u) << content;
        ASSERT_EQ(m_logged, store.warnings());
        const std::string warning = store.warnings().front();
        EXPECT_NE(warning.find(reason), std::string::npos) << warning;

        std::string added;  // the one new file
        for (const auto& name : namesIn(m_folder))
            if (!backups.count(name)) {
                ASSERT_TRUE(added.empty()) << added << " and " << name;
                added = name;
            }
        EXPECT_EQ(added.rfind("preferences.json.broken-", 0), 0u) << added;
        backups.insert(added);
        EXPECT_NE(warning.find(m_folder + "/" + added), std::string::npos) << warning;
        EXPECT_EQ(readFile(m_folder + "/" + added), content);

        // The store works normally afterwards.
        store.setObject("k", true);
        EXPECT_TRUE(store.isPersistent());
        EXPECT_EQ(PreferencesStore(m_path).object("k"), json(true));
    }
}

TEST_F(PreferencesStoreTest, AnUnreadableFileIsSetAside) {
    m_sandbox.writeFile("prefs/preferences.json", "{\"a\": 1}");
    ASSERT_EQ(::chmod(m_path.c_str(), 0), 0);
    const auto check = [&] {
        PreferencesStore store(m_path);
        return !store.object("a") && store.warnings().size() == 1 &&
               store.warnings().front().find("cannot be read") != std::string::npos && !fs::exists(m_path);
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    // Root reads anything: the store is opened by a child that gives up root
    // first, and owns the folder so that it may set the file aside.
    ASSERT_EQ(::chmod(m_sandbox.path().c_str(), 0755), 0);
    ASSERT_EQ(::chown(m_folder.c_str(), 65534, 65534), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot switch to an unprivileged user here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PreferencesStoreTest, AnUnwritableFolderKeepsValuesInMemoryAndRecovers) {
    // A regular file where a folder should be stops even root.
    const std::string blocker = m_sandbox.writeFile("blocker", "not a folder");
    ::setenv("XDG_CONFIG_HOME", (blocker + "/config").c_str(), 1);
    PreferencesStore store(kestrane::platform::preferencesFilePath());

    store.setObject("a", 1);
    store.setObject("b", "two");
    EXPECT_FALSE(store.isPersistent());
    ASSERT_TRUE(store.lastError().has_value());
    EXPECT_NE(store.lastError()->path.find(blocker), std::string::npos) << store.lastError()->describe();
    EXPECT_EQ(store.warnings().size(), 1u);  // said once, not at every change
    EXPECT_EQ(m_logged.size(), 1u);
    EXPECT_EQ(store.object("b"), json("two"));

    fs::remove(blocker);
    store.setObject("c", 3.5);
    EXPECT_TRUE(store.isPersistent());
    EXPECT_EQ(store.lastError(), std::nullopt);
    PreferencesStore reread(kestrane::platform::preferencesFilePath());
    EXPECT_EQ(reread.object("a"), json(1));
    EXPECT_EQ(reread.object("b"), json("two"));
    EXPECT_EQ(reread.object("c"), json(3.5));
}

TEST_F(PreferencesStoreTest, ConcurrentWritersDoNotCorruptTheFile) {
    PreferencesStore store(m_path);
    constexpr int kThreads = 6;
    constexpr int kWrites = 12;
    const auto key = [](int t, int i) { return "t" + std::to_string(t) + "." + std::to_string(i); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kWrites; ++i) {
                store.setObject(key(t, i), i);
                store.setObject("shared", t);
                (void)store.object("shared");
                if (i % 4 == 0) store.removeObject(key(t, i));
            }
        });
    for (auto& thread : threads) thread.join();

    PreferencesStore reread(m_path);
    EXPECT_EQ(reread.keys().size(), static_cast<std::size_t>(kThreads * kWrites * 3 / 4 + 1));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kWrites; ++i) EXPECT_EQ(reread.object(key(t, i)), i % 4 ? std::optional(json(i)) : std::nullopt);
    EXPECT_EQ(reread.object("shared"), store.object("shared"));
    EXPECT_EQ(namesIn(m_folder), kFileAndLock);
}

TEST_F(PreferencesStoreTest, StoresSharingTheFileKeepEachOthersChanges) {
    m_sandbox.writeFile("prefs/preferences.json", R"({"kept": 1, "dropped": 2})");
    // Both read the file before either writes, as two running programs would.
    PreferencesStore first(m_path);
    PreferencesStore second(m_path);
    first.setObject("a", 1);
    second.setObject("b", 2);    // must not take "a" away
    first.removeObject("dropped");
    second.setObject("c", 3);    // must not bring "dropped" back
    second.removeObject("a");    // a removal of a key this store learnt from the file
    first.setObject("d", 4);     // must not bring "a" back

    EXPECT_EQ(json::parse(readFile(m_path)), (json{{"kept", 1}, {"b", 2}, {"c", 3}, {"d", 4}}));
    // A write brings in what the others stored.
    EXPECT_EQ(first.object("c"), json(3));
    EXPECT_EQ(first.object("a"), std::nullopt);
    EXPECT_EQ(namesIn(m_folder), kFileAndLock);
}

TEST_F(PreferencesStoreTest, ASymlinkedFileStaysALinkAndNonUtf8TextDoesNotStopTheWrite) {
    const std::string real = m_sandbox.writeFile("dotfiles/kestrane.json", "{\"kept\": true}");
    fs::create_symlink(real, m_path);
    PreferencesStore store(m_path);
    EXPECT_EQ(store.object("kept"), json(true));
    store.setObject("added", 1);
    EXPECT_TRUE(fs::is_symlink(m_path));
    EXPECT_EQ(json::parse(readFile(real)), (json{{"kept", true}, {"added", 1}}));

    store.setObject("path", "/data/\xff\xfe name");
    store.setObject("after", 2);
    EXPECT_TRUE(store.isPersistent());
    PreferencesStore reread(m_path);
    EXPECT_EQ(reread.object("after"), json(2));
    ASSERT_TRUE(reread.object("path").has_value());
    EXPECT_TRUE(reread.object("path")->is_string());
}

}  // namespace
