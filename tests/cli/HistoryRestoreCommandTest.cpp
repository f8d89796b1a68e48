// End-to-end tests of `kestrane history` and `kestrane restore`: removal runs
// recorded by the recorder, with real files moved to the Trash by the Trash
// module or deleted while an identical copy was kept, then restored by the
// built binary.

#include "log/VaqLog.h"
#include "platform/SafeFileOperations.h"
#include "platform/Trash.h"
#include "support/ChildProcess.h"
#include "support/ReportJson.h"
#include "support/RemovalRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace kestrane {
namespace {

using nlohmann::json;
using test::ChildProcess;
using test::kBinary;

class HistoryRestoreCommandTest : public test::IsolatedHomeTest {
protected:
    using File = test::RunFile;
    static void recordRun(const std::vector<std::vector<File>>& groups, std::int64_t date = 0) {
        test::recordRemovalRun(groups, date);
    }

    json history(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"history", "--format", "json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::reportOf(ChildProcess::run(kBinary, args));
    }
};

TEST_F(HistoryRestoreCommandTest, TrashedAndDeletedFilesComeBackIntactAndASecondRestoreSaysSo) {
    const std::string content = test::noise(120000, 9);
    const std::string kept = m_sandbox.writeFile("photos/IMG_1.jpg", content);
    const std::string trashed = m_sandbox.writeFile("backup/IMG_1.jpg", content);
    const std::string odd = m_sandbox.writeFile("backup/-odd \"name\"\nwith\xFF.jpg", content);
    const std::string deleted = m_sandbox.writeFile("old/IMG_1.jpg", content);
    kestrane::test::setModificationTime(kept, 1690000000, 1);
    kestrane::test::setModificationTime(trashed, 1690000100, 200300400);
    kestrane::test::setModificationTime(odd, 1690000200, 5);
    kestrane::test::setModificationTime(deleted, 1690000300, 999);
    const std::string keptSum = test::md5sum(kept);
    recordRun({{{kept, File::kept}, {trashed, File::trashed}, {odd, File::trashed}, {deleted, File::deleted}}});

    // What the history says before.
    const auto before = ChildProcess::run(kBinary, {"history"});
    ASSERT_EQ(before.exitStatus, 0) << before.err;
    EXPECT_NE(before.out.find("  1  "), std::string::npos) << before.out;
    EXPECT_NE(before.out.find("3 files, 360 KB removed: 2 to the Trash, 1 permanently"), std::string::npos) << before.out;
    EXPECT_NE(before.out.find("can be restored: 2 from the Trash, 1 from kept copies"), std::string::npos) << before.out;
    const json report = history();
    ASSERT_EQ(report["runs"].size(), 1u);
    const json& run = report["runs"][0];
    EXPECT_EQ(run["removedCount"], 3);
    EXPECT_EQ(run["trashCount"], 2);
    EXPECT_EQ(run["states"]["inTrash"], 2);
    EXPECT_EQ(run["states"]["fromKeptCopy"], 1);
    std::map<std::string, json> files;
    for (const auto& file : run["files"]) files[test::realPath(file)] = file;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[odd]["removal"], "trash");
    EXPECT_TRUE(files[odd].contains("pathBase64"));
    EXPECT_EQ(files[deleted]["state"], "fromKeptCopy");
    EXPECT_EQ(test::realPath(files[deleted]["keptCopies"][0]), kept);
    EXPECT_EQ(files[deleted]["size"], 120000);

    const auto restored = ChildProcess::run(kBinary, {"restore", "1"});
    ASSERT_EQ(restored.exitStatus, 0) << restored.out << restored.err;
    EXPECT_NE(restored.out.find("restored " + trashed + " (from the Trash)"), std::string::npos) << restored.out;
    EXPECT_NE(restored.out.find("restored " + deleted + " (from the kept copy " + kept + ")"), std::string::npos)
        << restored.out;
    EXPECT_NE(restored.out.find("3 files were restored successfully."), std::string::npos) << restored.out;
    for (const auto& path : {trashed, odd, deleted}) EXPECT_TRUE(test::fileContent(path) == content) << path;
    EXPECT_EQ(kestrane::test::modificationTimeOf(trashed).tv_sec, 1690000100);
    EXPECT_EQ(kestrane::test::modificationTimeOf(trashed).tv_nsec, 200300400);
    EXPECT_EQ(kestrane::test::modificationTimeOf(odd).tv_nsec, 5);
    EXPECT_EQ(kestrane::test::modificationTimeOf(deleted).tv_sec, 1690000300);
    EXPECT_EQ(test::md5sum(kept), keptSum);  // the kept copy is read, never written
    EXPECT_TRUE(std::filesystem::is_empty(m_home + "/.local/share/Trash/files"));
    EXPECT_TRUE(std::filesystem::is_empty(m_home + "/.local/share/Trash/info"));

    const auto again = ChildProcess::run(kBinary, {"restore", "1"});
    EXPECT_EQ(again.exitStatus, 0) << again.out << again.err;
    EXPECT_NE(again.err.find("No duplicates to restore"), std::string::npos) << again.err;
    EXPECT_EQ(history()["runs"][0]["states"]["restored"], 3);
    const auto listed = ChildProcess::run(kBinary, {"history", "1"});
    EXPECT_NE(listed.out.find("already restored     " + trashed), std::string::npos) << listed.out;
}

TEST_F(HistoryRestoreCommandTest, ATakenPlaceIsNeverOverwrittenAndAsksForANewName) {
    const std::string kept = m_sandbox.writeFile("a/notes.txt", "my notes");
    const std::string deleted = m_sandbox.writeFile("b/notes.txt", "my notes");
    recordRun({{{kept, File::kept}, {deleted, File::deleted}}});
    m_sandbox.writeFile("b/notes.txt", "written since");

    // No terminal, no answer: left out, with a note naming --yes.
    const auto unanswered = ChildProcess::run(kBinary, {"restore", "1"});
    EXPECT_EQ(unanswered.exitStatus, 5);
    EXPECT_NE(unanswered.out.find("not restored " + deleted), std::string::npos) << unanswered.out;
    EXPECT_NE(unanswered.err.find("--yes"), std::string::npos) << unanswered.err;
    EXPECT_NE(unanswered.out.find("1 file could not be restored."), std::string::npos);
    const auto declined = ChildProcess::run(kBinary, {"restore", "1", "--no"});
    EXPECT_EQ(declined.exitStatus, 5);
    EXPECT_EQ(test::fileContent(deleted), "written since");
    EXPECT_FALSE(platform::pathExists(m_sandbox / "b/notes restored.txt"));

    const auto accepted = ChildProcess::run(kBinary, {"restore", "1", "--yes"});
    EXPECT_EQ(accepted.exitStatus, 0) << accepted.out << accepted.err;
    EXPECT_NE(accepted.out.find("restored " + deleted + " as " + (m_sandbox / "b/notes restored.txt")),
              std::string::npos)
        << accepted.out;
    EXPECT_EQ(test::fileContent(deleted), "written since");
    EXPECT_EQ(test::fileContent(m_sandbox / "b/notes restored.txt"), "my notes");
    const auto again = ChildProcess::run(kBinary, {"restore", "1", "--yes"});
    EXPECT_EQ(again.exitStatus, 0);
    EXPECT_FALSE(platform::pathExists(m_sandbox / "b/notes restored 2.txt"));
}

TEST_F(HistoryRestoreCommandTest, RunsPathsAndFoldersAreChosenOnTheCommandLine) {
    const std::string keptA = m_sandbox.writeFile("keep/a.txt", "a");
    const std::string goneA = m_sandbox.writeFile("docs/sub/a.txt", "a");
    const std::string keptB = m_sandbox.writeFile("keep/b.txt", "bb");
    const std::string goneB = m_sandbox.writeFile("docs/b.txt", "bb");
    recordRun({{{keptA, File::kept}, {goneA, File::trashed}}}, 1700000000);
    recordRun({{{keptB, File::kept}, {goneB, File::deleted}}}, 1700000600);
    const json report = history();
    ASSERT_EQ(report["runs"].size(), 2u);
    EXPECT_EQ(report["runs"][0]["number"], 1);
    EXPECT_EQ(test::realPath(report["runs"][0]["files"][0]), goneB);  // the newest first

    // Wrong RUNs, PATHs and folders: a message, and nothing is restored.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"restore", "3"}, {"restore", "2000-01-01 00:00:00"}, {"restore", "yesterday"},
          {"restore", "2", goneB}, {"restore"}, {"restore", "1", "--yes", "--no"}, {"history", "--format", "xml"}}) {
        const auto result = ChildProcess::run(kBinary, args);
        EXPECT_EQ(result.exitStatus, 2) << args.back() << "\n" << result.err;
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_EQ(ChildProcess::run(kBinary, {"restore", "1", "--to", m_sandbox / "missing"}).exitStatus, 3);
    EXPECT_FALSE(platform::pathExists(goneA));
    EXPECT_FALSE(platform::pathExists(goneB));

    // The older run by its date, one folder of it, into a chosen folder: a
    // copy; the Trash keeps its own.
    const std::string chosen = m_sandbox.makeDir("chosen");
    const std::string date = report["runs"][1]["date"].get<std::string>().substr(0, 19);  // 2023-11-14T22:13:20
    const auto intoFolder =
        ChildProcess::run(kBinary, {"restore", date.substr(0, 10) + " " + date.substr(11), m_sandbox / "docs/sub",
                                    "--to", chosen});
    EXPECT_EQ(intoFolder.exitStatus, 0) << intoFolder.out << intoFolder.err;
    EXPECT_EQ(test::fileContent(chosen + "/a.txt"), "a");
    EXPECT_FALSE(platform::pathExists(goneA));
    EXPECT_EQ(history()["runs"][1]["states"]["inTrash"], 1);

    // The newest run, by number, one file named relative to the working folder.
    const auto workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(m_sandbox.path());
    const auto byPath = ChildProcess::run(kBinary, {"restore", "1", "docs/b.txt"});
    std::filesystem::current_path(workingFolder);
    EXPECT_EQ(byPath.exitStatus, 0) << byPath.out << byPath.err;
    EXPECT_EQ(test::fileContent(goneB), "bb");
}

TEST_F(HistoryRestoreCommandTest, FilesWithNothingLeftToRestoreFromAreNamedWithTheReason) {
    const std::string kept = m_sandbox.writeFile("a/clip.mov", "clip");
    const std::string deleted = m_sandbox.writeFile("b/clip.mov", "clip");
    const std::string keptToo = m_sandbox.writeFile("a/song.mp3", "song");
    const std::string deletedToo = m_sandbox.writeFile("b/song.mp3", "song");
    recordRun({{{kept, File::kept}, {deleted, File::deleted}}, {{keptToo, File::kept}, {deletedToo, File::deleted}}});
    m_sandbox.writeFile("a/clip.mov", "edited since the removal");

    const json report = history();
    EXPECT_EQ(report["runs"][0]["states"]["notRestorable"], 1);
    const auto result = ChildProcess::run(kBinary, {"restore", "1"});
    EXPECT_EQ(result.exitStatus, 5) << result.out << result.err;
    EXPECT_NE(result.out.find("not restored " + deleted + ": nothing is left to restore it from"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("1 file was restored successfully. 1 file could not be restored."), std::string::npos)
        << result.out;
    EXPECT_EQ(test::fileContent(deletedToo), "song");
    EXPECT_FALSE(platform::pathExists(deleted));

    // Only the one that cannot come back: said before anything is tried.
    const auto alone = ChildProcess::run(kBinary, {"restore", "1", deleted});
    EXPECT_EQ(alone.exitStatus, 5);
    EXPECT_NE(alone.err.find("Cannot restore file \"clip.mov\""), std::string::npos) << alone.err;
}

}  // namespace
}  // namespace kestrane
