#include "log/VaqLog.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "log/LogPaths.h"
#include "log/RemoveLog.h"
#include "log/VaqLogFactory.h"
#include "platform/SafeFileOperations.h"
#include "settings/Settings.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using namespace kestrane;
using kestrane::test::ScopedTimeZone;

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// 2026-03-05 13:07:09 UTC.
constexpr std::int64_t kMarch5 = 1772716029;

VaqLogItem item(std::string path, std::uint64_t size, std::int64_t modified, bool folder = false) {
    return VaqLogItem{std::move(path), size, {modified, 0}, folder};
}

class VaqLogTest : public kestrane::test::IsolatedHomeTest {
protected:
    std::string logFolder() const { return m_home + "/.local/share/Kestrane/Removed"; }
};

TEST_F(VaqLogTest, ARunIsWrittenExactlyInTheLogFormat) {
    ScopedTimeZone zone("XYZ-1");  // one hour east of GMT, no summer time
    VaqLog log;
    log.setDateSource([] { return kMarch5; });
    VaqLogGroup group(7);
    group.addItem(item("/home/ann/a/photo.jpg", 2480133, kMarch5 - 86400));
    group.addItem(item("/home/ann/b/photo.jpg", 2480133, kMarch5 - 86400 * 2));
    log.beginLogOfGroups({group});
    log.onItemMovedToTrash(7, "/home/ann/b/photo.jpg", "/home/ann/.local/share/Trash/files/photo.jpg");
    ASSERT_FALSE(log.endLog());

    const std::string file = logFolder() + "/2026-03-05 14.07.09 GMT+1.log";
    EXPECT_EQ(namesIn(logFolder()), std::vector<std::string>{"2026-03-05 14.07.09 GMT+1.log"});
    EXPECT_EQ(kestrane::test::fileContent(file),
              "{\n"
              "  \"application\": \"Kestrane v" KESTRANE_VERSION "\",\n"
              "  \"date\": \"2026-03-05 14:07:09 GMT+1\",\n"
              "  \"changes\": {\n"
              "    \"1\": {\n"
              "      \"kept\": [\n"
              "        {\n"
              "          \"path\": \"\\/home\\/ann\\/a\\/photo.jpg\",\n"
              "          \"size\": \"2480133\",\n"
              "          \"date_mod\": \"2026-03-04 14:07:09 GMT+1\",\n"
              "          \"isDirectory\": \"0\"\n"
              "        }\n"
              "      ],\n"
              "      \"moved to trash\": [\n"
              "        {\n"
              "          \"path in trash\": \"\\/home\\/ann\\/.local\\/share\\/Trash\\/files\\/photo.jpg\",\n"
              "          \"original path\": \"\\/home\\/ann\\/b\\/photo.jpg\",\n"
              "          \"size\": \"2480133\",\n"
              "          \"date_mod\": \"2026-03-03 14:07:09 GMT+1\",\n"
              "          \"isDirectory\": \"0\"\n"
              "        }\n"
              "      ]\n"
              "    }\n"
              "  }\n"
              "}");
    struct stat attributes {};
    ASSERT_EQ(::stat(file.c_str(), &attributes), 0);
    EXPECT_EQ(attributes.st_mode & 0777, 0600u);  // it lists the user's files
    ASSERT_EQ(::stat(logFolder().c_str(), &attributes), 0);
    EXPECT_EQ(attributes.st_mode & 0777, 0700u);
}

TEST_F(VaqLogTest, EveryGroupOfTheRunIsWrittenNumberedWithItsKeptRemovedAndTrashedFiles) {
    VaqLog log;
    VaqLogGroup folders(12);
    folders.addItem(item("/data/album", 4096, 1000, true));
    folders.addItem(item("/data/album copy", 4096, 1000, true));
    VaqLogGroup untouched(3);
    untouched.addItem(item("/data/x.txt", 5, 2000));
    untouched.addItem(item("/data/y.txt", 5, 2000));
    untouched.addItem(item("", 5, 2000));  // no path: left out
    log.beginLogOfGroups({folders, untouched});
    log.onItemRemoved(12, "/data/album copy");
    log.onItemRemoved(99, "/data/x.txt");             // not a group of the run
    log.onItemRemoved(3, "/data/not-in-group.txt");  // not a file of the group
    EXPECT_TRUE(log.hasRemovedItems());
    ASSERT_FALSE(log.endLog());
    EXPECT_FALSE(log.hasRemovedItems());

    const auto files = namesIn(logFolder());
    ASSERT_EQ(files.size(), 1u);
    const auto json = nlohmann::json::parse(kestrane::test::fileContent(logFolder() + "/" + files[0]));
    const auto& changes = json.at("changes");
    ASSERT_EQ(changes.size(), 2u);
    // Numbered from 1 in the order of the groups' ids as text: "12" before "3".
    const auto& first = changes.at("1");
    const auto& second = changes.at("2");
    ASSERT_EQ(first.at("removed").size(), 1u);
    EXPECT_EQ(first.at("removed")[0].at("path"), "/data/album copy");
    EXPECT_EQ(first.at("removed")[0].at("isDirectory"), "1");
    EXPECT_EQ(first.at("removed")[0].at("size"), "4096");
    EXPECT_EQ(first.at("kept")[0].at("path"), "/data/album");
    EXPECT_FALSE(first.contains("moved to trash"));
    // A group in which nothing was removed is written too, all of it kept.
    EXPECT_EQ(second.at("kept").size(), 2u);
    EXPECT_FALSE(second.contains("removed"));
}

TEST_F(VaqLogTest, NothingIsWrittenWhenLoggingIsOffOrNothingWasRemoved) {
    VaqLog log;
    VaqLogGroup group(1);
    group.addItem(item("/a", 1, 1));
    group.addItem(item("/b", 1, 1));

    log.beginLogOfGroups({group});
    ASSERT_FALSE(log.flush());
    ASSERT_FALSE(log.endLog());
    EXPECT_FALSE(platform::pathExists(logFolder())) << "a run that removed nothing leaves no file";

    Settings::standard().setLogRemovedDuplicates(false);
    log.beginLogOfGroups({group});
    EXPECT_FALSE(log.isLoggingTurnOn());
    log.onItemRemoved(1, "/a");
    EXPECT_FALSE(log.hasRemovedItems());
    ASSERT_FALSE(log.flush());
    ASSERT_FALSE(log.endLog());
    EXPECT_FALSE(platform::pathExists(logFolder()));

    Settings::standard().setLogRemovedDuplicates(true);
    log.beginLogOfGroups({group});
    log.onItemRemoved(1, "/a");
    ASSERT_FALSE(log.endLog());
    EXPECT_EQ(namesIn(logFolder()).size(), 1u);
}

TEST_F(VaqLogTest, TheFileFollowsTheRunAfterEveryFlushAndRunsNeverReplaceEachOther) {
    ScopedTimeZone zone("UTC0");
    VaqLog log;
    log.setDateSource([] { return kMarch5; });
    VaqLogGroup group(5);
    for (int i = 0; i < 4; ++i) group.addItem(item("/d/file" + std::to_string(i), 10, 100));
    log.beginLogOfGroups({group});
    EXPECT_EQ(log.currentLogFilePath(), "");

    log.onItemRemoved(5, "/d/file1");
    ASSERT_FALSE(log.flush());
    const std::string file = log.currentLogFilePath();
    EXPECT_EQ(file, logFolder() + "/2026-03-05 13.07.09 GMT.log");
    auto json = nlohmann::json::parse(kestrane::test::fileContent(file));
    EXPECT_EQ(json["changes"]["1"]["removed"].size(), 1u);
    EXPECT_EQ(json["changes"]["1"]["kept"].size(), 3u);

    log.onItemMovedToTrash(5, "/d/file2", "/t/files/file2");
    log.onItemRemoved(5, "/d/file3");
    ASSERT_FALSE(log.flush());
    EXPECT_EQ(log.currentLogFilePath(), file);
    json = nlohmann::json::parse(kestrane::test::fileContent(file));
    EXPECT_EQ(json["changes"]["1"]["removed"].size(), 2u);
    EXPECT_EQ(json["changes"]["1"]["moved to trash"][0]["path in trash"], "/t/files/file2");
    EXPECT_EQ(json["changes"]["1"]["kept"].size(), 1u);

    // Another run in the same second: a name of its own, one second on; the
    // first run's log is untouched and both keep their real date inside.
    const std::string firstContent = kestrane::test::fileContent(file);
    ASSERT_FALSE(log.endLog());
    log.beginLogOfGroups({group});
    log.onItemRemoved(5, "/d/file0");
    ASSERT_FALSE(log.endLog());
    EXPECT_EQ(namesIn(logFolder()),
              (std::vector<std::string>{"2026-03-05 13.07.09 GMT.log", "2026-03-05 13.07.10 GMT.log"}));
    EXPECT_EQ(kestrane::test::fileContent(file), firstContent);
    json = nlohmann::json::parse(kestrane::test::fileContent(logFolder() + "/2026-03-05 13.07.10 GMT.log"));
    EXPECT_EQ(json["date"], "2026-03-05 13:07:09 GMT");
}

TEST_F(VaqLogTest, ItemsReportedFromSeveralThreadsWhileTheLogIsWrittenAllReachTheFile) {
    VaqLog log;
    std::vector<VaqLogGroup> groups;
    for (std::uint64_t id = 0; id < 400; ++id) {
        VaqLogGroup group(id);
        group.addItem(item("/k/" + std::to_string(id), 1, 1));
        group.addItem(item("/r/" + std::to_string(id), 1, 1));
        groups.push_back(std::move(group));
    }
    log.beginLogOfGroups(groups);
    std::vector<std::thread> removers;
    for (std::uint64_t lane = 0; lane < 4; ++lane) {
        removers.emplace_back([&log, lane] {
            for (std::uint64_t id = lane; id < 400; id += 4) {
                if (id % 2 == 0)
                    log.onItemRemoved(id, "/r/" + std::to_string(id));
                else
                    log.onItemMovedToTrash(id, "/r/" + std::to_string(id), "/t/files/" + std::to_string(id));
            }
        });
    }
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(log.flush());
    for (auto& remover : removers) remover.join();
    ASSERT_FALSE(log.endLog());

    const auto files = namesIn(logFolder());
    ASSERT_EQ(files.size(), 1u);
    const auto json = nlohmann::json::parse(kestrane::test::fileContent(logFolder() + "/" + files[0]));
    std::size_t removed = 0;
    std::size_t trashed = 0;
    for (const auto& [key, group] : json["changes"].items()) {
        if (group.contains("removed")) removed += group["removed"].size();
        if (group.contains("moved to trash")) trashed += group["moved to trash"].size();
        EXPECT_EQ(group["kept"].size(), 1u);
    }
    EXPECT_EQ(removed, 200u);
    EXPECT_EQ(trashed, 200u);
}

TEST_F(VaqLogTest, AnUnwritableFolderIsReportedAndTheNextFlushTriesAgain) {
    const std::string blocked = m_sandbox.writeFile("blocked", "a file where the folder should be");
    VaqLog log(blocked + "/Removed");
    VaqLogGroup group(1);
    group.addItem(item("/a", 1, 1));
    group.addItem(item("/b", 1, 1));
    log.beginLogOfGroups({group});
    log.onItemRemoved(1, "/a");
    const auto error = log.flush();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->path, blocked + "/Removed");

    ASSERT_EQ(::unlink(blocked.c_str()), 0);
    ASSERT_FALSE(log.flush());
    EXPECT_EQ(namesIn(blocked + "/Removed").size(), 1u);
}

TEST_F(VaqLogTest, GroupsOfAScanAreRecordedWithTheirSizesDatesAndPaths) {
    kestrane::test::TempDir dir;
    const std::string content = kestrane::test::noise(5000, 1);
    dir.writeFile("one/song.mp3", content);
    dir.writeFile("two/song.mp3", content);
    dir.writeFile("two/-odd \"name\".mp3", content);
    const auto scan = kestrane::test::scanFolders({dir.path()});
    ASSERT_TRUE(scan.container);
    const auto groups = scan.container->getAllFilesGroups();
    ASSERT_EQ(groups.size(), 1u);
    std::shared_ptr<DuplicateItem> removed;
    for (const auto& entry : groups[0]->getItems())
        if (entry->getFileItemPath() == dir.path() + "/two/-odd \"name\".mp3") removed = entry;
    ASSERT_TRUE(removed);

    VaqLog log;
    log.beginLogOfGroups(groups);
    const auto recorded = log.groupWithIdentifier(groups[0]->getGroupID());
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->items().size(), 3u);
    log.onItemRemoved(*removed);
    ASSERT_FALSE(log.endLog());

    const auto files = namesIn(logFolder());
    ASSERT_EQ(files.size(), 1u);
    const auto json = nlohmann::json::parse(kestrane::test::fileContent(logFolder() + "/" + files[0]));
    const auto& record = json["changes"]["1"]["removed"][0];
    EXPECT_EQ(logPath(record, "path"), removed->getFileItemPath());
    EXPECT_EQ(record["size"], "5000");
    EXPECT_EQ(json["changes"]["1"]["kept"].size(), 2u);
    struct stat attributes {};
    ASSERT_EQ(::stat(removed->getFileItemPath().c_str(), &attributes), 0);
    EXPECT_EQ(record["date_mod"], RemoveLog::stringWithDate(attributes.st_mtim.tv_sec));
}

}  // namespace
