// The generated scripts, run for real on names that carry every kind of byte
// a Linux file name may hold: each must reach its command as the exact path.
#include "RemovalTestSupport.h"

#include "platform/DirectoryReader.h"
#include "platform/Trash.h"
#include "platform/UserFolders.h"
#include "removal/BashTask.h"
#include "removal/MoveToTrashBashScript.h"
#include "removal/RemovePermanentlyBashScript.h"

#include <gtest/gtest.h>

#include <set>

#include <unistd.h>

namespace kestrane {
namespace {

using test::existsOnDisk;

// Names that a careless script would split, expand, run or cut short, with
// the names of the files it would hit instead (decoys, which must survive).
const std::vector<std::string> kHostileNames = {
    "it's mine",
    "say \"cheese\"",
    "price $HOME and ${PATH}",
    "run `touch pwned-backtick`",
    "$(touch pwned-dollar)",
    "'; touch pwned-quote; echo '",
    "first line\nsecond line",
    "EOF\nEOF",
    "-rf",
    "--one-file-system",
    "back\\slash\\n",
    "tab\there",
    "glob * ? [a-z]",
    "latin1 caf\xe9 and \xff\xfe bytes",
    " leading and trailing spaces ",
    "semi;colon|pipe&amp>redirect<in",
    "#not a comment",
    "~tilde",
};
const std::vector<std::string> kDecoys = {"it", "s mine", "say", "cheese", "price", "first line", "second line",
                                          "EOF", "back", "slash", "tab", "here", "glob", "a", "pwned-backtick",
                                          "*", "leading", "spaces", "#not"};

class BashScriptTest : public test::IsolatedHomeTest {
protected:
    // A folder holding a victim of every hostile name, a folder with a
    // hostile name holding a file, and the decoys beside them.
    std::vector<std::string> makeVictims(const std::string& folder) {
        std::vector<std::string> victims;
        for (const auto& name : kHostileNames) victims.push_back(m_sandbox.writeFile(folder + "/" + name, "victim"));
        m_sandbox.writeFile(folder + "/dir \"with\" $(quotes)\n/inside.jpg", "victim");
        victims.push_back(m_sandbox / (folder + "/dir \"with\" $(quotes)\n"));
        for (const auto& decoy : kDecoys) m_sandbox.writeFile(folder + "/" + decoy, "decoy");
        return victims;
    }

    void expectDecoysIntact(const std::string& folder) {
        for (const auto& decoy : kDecoys) EXPECT_TRUE(existsOnDisk(m_sandbox / (folder + "/" + decoy))) << decoy;
        for (const char* pwned : {"pwned-dollar", "pwned-quote"}) {
            EXPECT_FALSE(existsOnDisk(m_home + "/" + pwned)) << pwned;
            EXPECT_FALSE(existsOnDisk(m_sandbox / pwned)) << pwned;
            char cwd[4096];
            if (::getcwd(cwd, sizeof cwd) != nullptr) {
                EXPECT_FALSE(existsOnDisk(std::string(cwd) + "/" + pwned)) << pwned;
            }
        }
    }

    // Runs the script through BashTask and waits for it.
    bool run(std::shared_ptr<BashScript> script) {
        std::optional<bool> ran;
        auto task = BashTask::create(std::move(script), [&](bool ok) { ran = ok; });
        BashTasksManager::shared().addTask(task);
        test::runMainQueueUntil([&] { return ran.has_value(); }, std::chrono::seconds(60));
        EXPECT_EQ(BashTasksManager::shared().runningCount(), 0u);
        return ran.value_or(false);
    }
};

TEST_F(BashScriptTest, ThePermanentScriptRemovesEveryHostileNameAndNothingElse) {
    const std::vector<std::string> victims = makeVictims("hostile");
    const auto script = std::make_shared<RemovePermanentlyBashScript>(victims, false);
    EXPECT_NE(script->text().find("rm -r -f --one-file-system -- '"), std::string::npos);

    EXPECT_TRUE(run(script));

    for (const auto& victim : victims) EXPECT_FALSE(existsOnDisk(victim)) << victim;
    expectDecoysIntact("hostile");
    // The script file is gone with its run.
    platform::DirectoryReader reader;
    std::size_t scripts = 0;
    if (!reader.open(BashTask::scriptsFolder()))
        while (reader.readBatch([&](const platform::DirectoryEntry&) { ++scripts; }) ==
               platform::DirectoryReader::ReadResult::entries) {
        }
    EXPECT_EQ(scripts, 0u);
}

TEST_F(BashScriptTest, TheTrashScriptMovesEveryHostileNameIntoTheTrashUnderItsExactPath) {
    const std::vector<std::string> victims = makeVictims("hostile");
    const std::string trash = platform::joinPath(platform::dataHome(), "Trash");
    const auto script = std::make_shared<MoveToTrashBashScript>(
        victims, KESTRANE_BINARY,
        MoveToTrashBashScript::TrashOwner{static_cast<unsigned>(::getuid()), static_cast<unsigned>(::getgid()), trash});

    EXPECT_TRUE(run(script));

    std::set<std::string> trashedFrom;
    platform::DirectoryReader reader;
    ASSERT_EQ(reader.open(trash + "/files"), std::nullopt);
    while (reader.readBatch([&](const platform::DirectoryEntry& entry) {
               const auto found = platform::Trash::entryForTrashedPath(trash + "/files/" + std::string(entry.name));
               if (found) trashedFrom.insert(found->originalPath);
           }) == platform::DirectoryReader::ReadResult::entries) {
    }
    for (const auto& victim : victims) {
        EXPECT_FALSE(existsOnDisk(victim)) << victim;
        EXPECT_TRUE(trashedFrom.contains(victim)) << victim;
    }
    EXPECT_EQ(trashedFrom.size(), victims.size());
    expectDecoysIntact("hostile");
}

TEST_F(BashScriptTest, TenThousandAndOnePathsMakeTwoTrashCommands) {
    std::vector<std::string> paths;
    const std::string first = m_sandbox.writeFile("many/0", "");
    paths.push_back(first);
    for (int i = 1; i < 10001; ++i) {
        paths.push_back(m_sandbox / ("many/" + std::to_string(i)));
        ASSERT_EQ(::link(first.c_str(), paths.back().c_str()), 0);
    }
    const std::string text = MoveToTrashBashScript(paths, "/usr/bin/kestrane", {0, 0, "/root/.local/share/Trash"}).text();
    std::size_t commands = 0;
    for (std::size_t at = text.find("trash-for-user"); at != std::string::npos; at = text.find("trash-for-user", at + 1))
        ++commands;
    EXPECT_EQ(commands, 2u);
    EXPECT_EQ(RemovePermanentlyBashScript({}, true).text(), "");
    EXPECT_EQ(MoveToTrashBashScript({m_sandbox / "never-there"}, "/usr/bin/kestrane", {}).text(), "");
}

}  // namespace
}  // namespace kestrane
