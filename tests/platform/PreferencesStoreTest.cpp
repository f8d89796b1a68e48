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
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
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

TEST_F(PreferencesStoreTest, ValuesOfEveryKindSurviveReopening) {
    {
        PreferencesStore store(m_path);
        EXPECT_TRUE(store.keys().empty());
        EXPECT_FALSE(fs::exists(m_path));  // nothing is written before the first change
        store.setObject("flag", false);
        store.setObject("big", std::numeric_limits<std::uint64_t>::max());
        store.setObject("negative", -12);
        store.setObject("ratio", 0.125);
        store.setObject("text", "caf\xC3\xA9 \xC2\xA0 \"quoted\"\n");
        store.setObject("list", json::array({"/a b", "/c"}));
        store.setObject("gone", 1);
        store.removeObject("gone");
        store.removeObject("never there");
    }
    PreferencesStore reopened(m_path);
    EXPECT_EQ(reopened.object("flag"), json(false));
    EXPECT_EQ(reopened.object("big")->get<std::uint64_t>(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(reopened.object("negative"), json(-12));
    EXPECT_EQ(reopened.object("ratio"), json(0.125));
    EXPECT_EQ(reopened.object("text"), json("caf\xC3\xA9 \xC2\xA0 \"quoted\"\n"));
    EXPECT_EQ(reopened.object("list"), json::array({"/a b", "/c"}));
    EXPECT_EQ(reopened.object("gone"), std::nullopt);
    EXPECT_EQ(reopened.keys().size(), 6u);
    EXPECT_TRUE(reopened.isPersistent());
    EXPECT_EQ(reopened.lastError(), std::nullopt);
    EXPECT_TRUE(reopened.warnings().empty());
}

TEST_F(PreferencesStoreTest, EveryChangeIsOnDiskAtOnceAndLeavesNoTemporaryFiles) {
    PreferencesStore writer(m_path);
    writer.setObject("a", 1);
    EXPECT_EQ(PreferencesStore(m_path).object("a"), json(1));
    writer.setObject("a", 2);
    EXPECT_EQ(PreferencesStore(m_path).object("a"), json(2));
    writer.removeObject("a");
    EXPECT_EQ(PreferencesStore(m_path).object("a"), std::nullopt);
    EXPECT_TRUE(json::parse(readFile(m_path)).is_object());
    EXPECT_EQ(namesIn(m_folder), std::vector<std::string>{"preferences.json"});
    struct stat info{};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(PreferencesStoreTest, UnusableFilesAreSetAsideAndDefaultsApply) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{\"a\": tru", "not valid JSON"},
        {"", "not valid JSON"},
        {"[1, 2, 3]", "does not hold a JSON object"},
        {"\"just text\"", "does not hold a JSON object"},
    };
    for (const auto& [content, reason] : cases) {
        for (const auto& name : namesIn(m_folder)) fs::remove(m_folder + "/" + name);
        m_logged.clear();
        m_sandbox.writeFile("prefs/preferences.json", content);

        PreferencesStore store(m_path);
        EXPECT_TRUE(store.keys().empty()) << content;
        ASSERT_EQ(store.warnings().size(), 1u) << content;
        ASSERT_EQ(m_logged, store.warnings());
        const std::string warning = store.warnings().front();
        EXPECT_NE(warning.find(reason), std::string::npos) << warning;

        const auto names = namesIn(m_folder);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names.front().rfind("preferences.json.broken-", 0), 0u);
        const std::string backup = m_folder + "/" + names.front();
        EXPECT_NE(warning.find(backup), std::string::npos) << warning;
        EXPECT_EQ(readFile(backup), content);

        // The store works normally afterwards.
        store.setObject("k", true);
        EXPECT_TRUE(store.isPersistent());
        EXPECT_EQ(PreferencesStore(m_path).object("k"), json(true));
    }
}

TEST_F(PreferencesStoreTest, BackupsMadeInTheSameSecondDoNotReplaceEachOther) {
    m_sandbox.writeFile("prefs/preferences.json", "first broken");
    PreferencesStore first(m_path);
    m_sandbox.writeFile("prefs/preferences.json", "second broken");
    PreferencesStore second(m_path);
    m_sandbox.writeFile("prefs/preferences.json", "third broken");
    PreferencesStore third(m_path);

    std::vector<std::string> contents;
    for (const auto& name : namesIn(m_folder)) contents.push_back(readFile(m_folder + "/" + name));
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"first broken", "second broken", "third broken"}));
}

TEST_F(PreferencesStoreTest, AnUnreadableFileIsSetAside) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permissions";
    m_sandbox.writeFile("prefs/preferences.json", "{\"a\": 1}");
    ASSERT_EQ(::chmod(m_path.c_str(), 0), 0);
    PreferencesStore store(m_path);
    EXPECT_EQ(store.object("a"), std::nullopt);
    ASSERT_EQ(store.warnings().size(), 1u);
    EXPECT_NE(store.warnings().front().find("cannot be read"), std::string::npos);
    EXPECT_FALSE(fs::exists(m_path));
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
    EXPECT_EQ(store.object("a"), json(1));
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
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&store, t] {
            for (int i = 0; i < kWrites; ++i) {
                store.setObject("t" + std::to_string(t) + "." + std::to_string(i), i);
                store.setObject("shared", t);
                (void)store.object("shared");
                if (i % 4 == 0) store.removeObject("t" + std::to_string(t) + "." + std::to_string(i));
            }
        });
    for (auto& thread : threads) thread.join();

    PreferencesStore reread(m_path);
    EXPECT_EQ(reread.keys().size(), static_cast<std::size_t>(kThreads * kWrites * 3 / 4 + 1));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kWrites; ++i) {
            const auto value = reread.object("t" + std::to_string(t) + "." + std::to_string(i));
            if (i % 4 == 0)
                EXPECT_EQ(value, std::nullopt);
            else
                EXPECT_EQ(value, json(i));
        }
    EXPECT_EQ(reread.object("shared"), store.object("shared"));
    EXPECT_EQ(namesIn(m_folder), std::vector<std::string>{"preferences.json"});
    EXPECT_TRUE(store.isPersistent());
}

TEST_F(PreferencesStoreTest, ASymlinkedFileStaysALink) {
    const std::string real = m_sandbox.writeFile("dotfiles/kestrane.json", "{\"kept\": true}");
    fs::create_symlink(real, m_path);
    PreferencesStore store(m_path);
    EXPECT_EQ(store.object("kept"), json(true));
    store.setObject("added", 1);
    EXPECT_TRUE(fs::is_symlink(m_path));
    EXPECT_EQ(json::parse(readFile(real)), (json{{"kept", true}, {"added", 1}}));
}

TEST_F(PreferencesStoreTest, TextThatIsNotUtf8DoesNotStopTheWrite) {
    PreferencesStore store(m_path);
    store.setObject("path", "/data/\xff\xfe name");
    store.setObject("after", 1);
    EXPECT_TRUE(store.isPersistent());
    PreferencesStore reread(m_path);
    EXPECT_EQ(reread.object("after"), json(1));
    ASSERT_TRUE(reread.object("path").has_value());
    EXPECT_TRUE(reread.object("path")->is_string());
}

TEST_F(PreferencesStoreTest, TheStandardStoreFollowsTheConfigFolderWhenReopened) {
    EXPECT_EQ(PreferencesStore::standard()->filePath(), m_home + "/.config/kestrane/preferences.json");
    EXPECT_EQ(PreferencesStore::standard(), PreferencesStore::standard());
    const std::string other = m_sandbox.makeDir("other-config");
    ::setenv("XDG_CONFIG_HOME", other.c_str(), 1);
    PreferencesStore::standard()->setObject("x", 1);  // still the old store until reopened
    EXPECT_TRUE(fs::exists(m_home + "/.config/kestrane/preferences.json"));
    PreferencesStore::reopenStandard();
    EXPECT_EQ(PreferencesStore::standard()->filePath(), other + "/kestrane/preferences.json");
    EXPECT_EQ(PreferencesStore::standard()->object("x"), std::nullopt);
}

}  // namespace
