#include "log/KeptItem.h"
#include "log/LogDates.h"
#include "log/PermanentlyRemovedItem.h"
#include "log/RestoreController.h"
#include "log/RestoreControllersContainer.h"
#include "log/RestoreGroup.h"
#include "log/RestoreHelper.h"
#include "log/RestoreItem.h"
#include "log/RestoreKernelManager.h"
#include "log/VaqLog.h"
#include "log/VaqLogFactory.h"
#include "platform/SafeFileOperations.h"
#include "platform/Trash.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace kestrane;
using kestrane::test::ScopedTimeZone;

// A removed file read from a record written by hand.
std::shared_ptr<PermanentlyRemovedItem> removedRecord(const std::string& path, std::int64_t size,
                                                      std::int64_t modified) {
    return PermanentlyRemovedItem::fromRecord(
        {{"path", path}, {"size", std::to_string(size)}, {"date_mod", logDateText(modified)}, {"isDirectory", "0"}});
}

// A group's removal date: the date of a log, for groups made in a test.
class FixedDate : public RestoreGroupDataSource {
public:
    explicit FixedDate(std::int64_t date) : m_date(date) {}
    std::optional<std::int64_t> restoreGroupRestoreDate() const override { return m_date; }

private:
    std::int64_t m_date;
};

class RestoreHistoryTest : public kestrane::test::IsolatedHomeTest {
protected:
    std::string logFolder() const { return VaqLogFactory::logFolderPath(); }
};

TEST_F(RestoreHistoryTest, ALogReadsBackExactlyOddNamesIncluded) {
    const std::vector<std::string> names = {
        "plain.jpg", "with \"quotes\".jpg", "line\nbreak.jpg", "--leading-dashes.jpg", "not utf8 \xFF\xFE.jpg",
        "back\\slash and / slash-free tab\t.jpg",
    };
    std::vector<VaqLogGroup> groups;
    std::uint64_t id = 40;
    for (const auto& name : names) {
        VaqLogGroup group(id++);
        group.addItem({"/kept/" + name, 1234, {1700000000, 0}, false});
        group.addItem({"/trashed/" + name, 1234, {1700000001, 0}, false});
        group.addItem({"/deleted/" + name, 1234, {1700000002, 0}, false});
        groups.push_back(std::move(group));
    }
    VaqLogGroup folders(7);
    folders.addItem({"/a/album", 8192, {1600000000, 0}, true});
    folders.addItem({"/b/album", 8192, {1600000000, 0}, true});
    groups.push_back(folders);

    VaqLog recorder;
    recorder.setDateSource([] { return std::int64_t{1772716029}; });
    recorder.beginLogOfGroups(groups);
    id = 40;
    for (const auto& name : names) {
        recorder.onItemMovedToTrash(id, "/trashed/" + name, "/home/x/.local/share/Trash/files/" + name);
        recorder.onItemRemoved(id++, "/deleted/" + name);
    }
    recorder.onItemRemoved(7, "/b/album");
    ASSERT_FALSE(recorder.endLog());

    RestoreKernelManager history;
    history.loadFromFolder(logFolder());
    const auto days = history.restoreControllers();
    ASSERT_EQ(days.size(), 1u);
    const auto controllers = days[0]->controllers();
    ASSERT_EQ(controllers.size(), 1u);
    const auto& log = controllers[0];
    log->loadNow();
    EXPECT_EQ(log->loadingState(), RestoreController::LoadingState::loaded);
    EXPECT_EQ(log->date(), 1772716029);
    EXPECT_EQ(log->application(), VaqLogFactory::applicationName());
    EXPECT_EQ(log->calculateNumberOfRemovedItems(), names.size() * 2 + 1);

    std::set<std::string> seen;
    for (const auto& group : log->groups()) {
        if (group->children().size() == 1) {  // the folders
            const auto& removed = group->children()[0];
            EXPECT_EQ(removed->originalPath(), "/b/album");
            EXPECT_TRUE(removed->isDirectory());
            EXPECT_EQ(removed->fileSize(), 8192);
            ASSERT_EQ(group->keptItems().size(), 1u);
            EXPECT_EQ(group->keptItems()[0]->originalPath(), "/a/album");
            continue;
        }
        ASSERT_EQ(group->children().size(), 2u);
        // Removed permanently first, then moved to the trash.
        const auto& deleted = group->children()[0];
        const auto& trashed = group->children()[1];
        ASSERT_FALSE(deleted->isTrashItem());
        ASSERT_TRUE(trashed->isTrashItem());
        const std::string name = deleted->originalPath().substr(std::string("/deleted/").size());
        seen.insert(name);
        EXPECT_EQ(trashed->originalPath(), "/trashed/" + name);
        EXPECT_EQ(static_cast<const RestoreItem&>(*trashed).pathInTrash(), "/home/x/.local/share/Trash/files/" + name);
        EXPECT_EQ(deleted->fileSize(), 1234);
        EXPECT_FALSE(deleted->isDirectory());
        EXPECT_EQ(deleted->originalFileModificationDate(), 1700000002);
        EXPECT_EQ(trashed->originalFileModificationDate(), 1700000001);
        EXPECT_EQ(deleted->removeDate(), 1772716029);
        ASSERT_EQ(group->keptItems().size(), 1u);
        EXPECT_EQ(group->keptItems()[0]->originalPath(), "/kept/" + name);
        EXPECT_EQ(group->keptItems()[0]->originalFileModificationDate(), 1700000000);
    }
    EXPECT_EQ(seen, std::set<std::string>(names.begin(), names.end()));
}

TEST_F(RestoreHistoryTest, LogsAreGroupedByDayNewestFirstAndOnlyDatedLogsCount) {
    ScopedTimeZone zone("UTC0");
    platform::makeFolders(logFolder());
    const std::string group = R"({"1": {"removed": [{"path": "/x/a.txt", "size": "1", "date_mod": "2024-01-01 00:00:00 GMT", "isDirectory": "0"}]}})";
    auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(logFolder() + "/" + name) << content;
    };
    write("2024-03-01 09.00.00 GMT.log", R"({"date": "2024-03-01 09:00:00 GMT", "changes": )" + group + "}");
    write("2024-03-01 18.30.00 GMT.log", R"({"date": "2024-03-01 18:30:00 GMT", "changes": )" + group + "}");
    write("2024-02-28 23:59:59 GMT.log", R"({"changes": )" + group + "}");  // the colon form of a name reads too
    write("notes.log", "not a dated log");
    write("2024-03-02 10.00.00 GMT.txt", "not a log");
    write("2024-03-05 10.00.00 GMT.log", "{ this is not JSON");
    write("2024-03-06 10.00.00 GMT.log",  // only kept files: nothing to restore
          R"({"changes": {"1": {"kept": [{"path": "/k"}]}, "2": "not an object"}})");

    RestoreKernelManager history;
    history.loadFromFolder(logFolder());
    const auto days = history.restoreControllers();
    ASSERT_EQ(days.size(), 4u);
    EXPECT_EQ(days[0]->noonOfTheDay(), *parseLogDate("2024-03-06 12:00:00 GMT"));
    EXPECT_EQ(days[1]->noonOfTheDay(), *parseLogDate("2024-03-05 12:00:00 GMT"));
    EXPECT_EQ(days[2]->noonOfTheDay(), *parseLogDate("2024-03-01 12:00:00 GMT"));
    const auto march1 = days[2]->controllers();
    ASSERT_EQ(march1.size(), 2u);
    EXPECT_EQ(march1[0]->name(), "2024-03-01 18.30.00 GMT.log");
    EXPECT_EQ(march1[1]->name(), "2024-03-01 09.00.00 GMT.log");

    // Loading: unreadable logs and logs of kept files only are empty.
    struct EmptyLogs : RestoreControllerDelegate {
        void restoreControllerLoadingStateDidUpdate(RestoreController&) override {}
        void restoreControllerAppearedToBeEmptyAfterLoading(RestoreController& c) override { empty.push_back(c.name()); }
        void restoreControllerRemovedItemStateDidUpdate(RestoreController&, BaseRemovedItem&) override {}
        void restoreControllerSelectionDidChange(RestoreController&) override {}
        std::vector<std::string> empty;
    };
    const auto listener = std::make_shared<EmptyLogs>();
    for (const auto& day : days) {
        day->addListener(listener);
        EXPECT_EQ(day->loadingState(), RestoreController::LoadingState::notLoaded);
        day->loadOnlyIfHasNoLoadedData(true);
    }
    ASSERT_TRUE(kestrane::test::runMainQueueUntil([&] {
        for (const auto& day : days)
            if (day->loadingState() != RestoreController::LoadingState::loaded) return false;
        return true;
    }));
    std::sort(listener->empty.begin(), listener->empty.end());
    EXPECT_EQ(listener->empty,
              (std::vector<std::string>{"2024-03-05 10.00.00 GMT.log", "2024-03-06 10.00.00 GMT.log"}));
    EXPECT_EQ(days[2]->calculateNumberOfRemovedItems(), 2u);
    EXPECT_EQ(days[3]->controllers()[0]->date(), *parseLogDate("2024-02-28 23:59:59 GMT"));

    // Clearing a day deletes its logs only; clearing everything deletes every
    // dated log and leaves other files.
    history.clearHistoryFor(days[2]);
    EXPECT_FALSE(platform::pathExists(logFolder() + "/2024-03-01 09.00.00 GMT.log"));
    EXPECT_FALSE(platform::pathExists(logFolder() + "/2024-03-01 18.30.00 GMT.log"));
    EXPECT_TRUE(platform::pathExists(logFolder() + "/2024-03-05 10.00.00 GMT.log"));
    EXPECT_EQ(history.restoreControllers().size(), 3u);
    history.clearHistory();
    EXPECT_TRUE(history.restoreControllers().empty());
    EXPECT_TRUE(platform::pathExists(logFolder() + "/notes.log"));
    EXPECT_TRUE(platform::pathExists(logFolder() + "/2024-03-02 10.00.00 GMT.txt"));
    EXPECT_FALSE(platform::pathExists(logFolder() + "/2024-02-28 23:59:59 GMT.log"));
}

TEST_F(RestoreHistoryTest, RecordsWithoutSomeKeysReadTheWayTheFormatAllows) {
    const auto folder = PermanentlyRemovedItem::fromRecord({{"path", "/data/Holiday"}, {"size", "4096"}});
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->isDirectory());  // no flag, no extension: a folder
    EXPECT_FALSE(folder->originalFileModificationDate());
    const auto file = PermanentlyRemovedItem::fromRecord("/data/notes.txt");  // a bare string is the path
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->isDirectory());
    EXPECT_EQ(file->fileSize(), -1);
    EXPECT_EQ(PermanentlyRemovedItem::fromRecord({{"path", "/a"}, {"size", "lots"}})->fileSize(), -1);
    EXPECT_FALSE(RestoreItem::fromRecord({{"original path", "/a.txt"}, {"size", "1"}}));  // no path in trash
    EXPECT_FALSE(PermanentlyRemovedItem::fromRecord({{"size", "1"}}));
    EXPECT_FALSE(KeptItem::fromRecord(nlohmann::json(42)));
}

TEST_F(RestoreHistoryTest, TheMatchTestAllowsASecondAndOlderFilesOnly) {
    const std::int64_t logged = 1700000000;
    const std::int64_t removed = 1700100000;
    auto item = removedRecord("/x/photo.jpg", 100, logged);
    const auto dates = std::make_shared<FixedDate>(removed);
    const auto group = RestoreGroup::create({item}, {}, dates);

    EXPECT_TRUE(RestoreHelper::attributesMatchItem(platform::FileTime{logged, 0}, 100, *item));
    EXPECT_TRUE(RestoreHelper::attributesMatchItem(platform::FileTime{logged + 1, 999999999}, 100, *item));
    EXPECT_TRUE(RestoreHelper::attributesMatchItem(platform::FileTime{logged - 1, 0}, 100, *item));
    EXPECT_FALSE(RestoreHelper::attributesMatchItem(platform::FileTime{logged, 0}, 101, *item));
    EXPECT_FALSE(RestoreHelper::attributesMatchItem(std::nullopt, 100, *item));
    // 5 seconds off: only when older than the removal.
    EXPECT_TRUE(RestoreHelper::attributesMatchItem(platform::FileTime{logged + 5, 0}, 100, *item));
    EXPECT_FALSE(RestoreHelper::attributesMatchItem(platform::FileTime{removed + 5, 0}, 100, *item));
    EXPECT_FALSE(RestoreHelper::attributesMatchItem(platform::FileTime{removed, 0}, 100, *item));
    // Folders and unknown sizes take any size.
    auto unknownSize = PermanentlyRemovedItem::fromRecord({{"path", "/x/a.bin"}, {"date_mod", logDateText(logged)}});
    EXPECT_TRUE(RestoreHelper::attributesMatchItem(platform::FileTime{logged, 0}, 12345, *unknownSize));
}

TEST_F(RestoreHistoryTest, RestoredCopiesAreFoundUnderTheirRestoredNamesOnly) {
    const std::string folder = m_sandbox.makeDir("photos");
    const std::int64_t modified = 1700000000;
    auto photo = removedRecord(folder + "/photo.jpg", 5, modified);
    auto other = removedRecord(folder + "/photo restored 2.jpg", 5, modified);  // another removed file of the group
    const auto group = RestoreGroup::create({photo, other}, {}, std::make_shared<FixedDate>(modified + 100));
    EXPECT_FALSE(photo->isRestored());

    for (const char* name : {"photo restored x.jpg", "photo restoredcopy.jpg", "photo restored 3.png"})
        kestrane::test::setModificationTime(m_sandbox.writeFile(std::string("photos/") + name, "12345"), modified);
    kestrane::test::setModificationTime(m_sandbox.writeFile("photos/photo restored 2.jpg", "12345"), modified);  // the other item's own path
    photo->clearCache();
    EXPECT_FALSE(photo->isRestored());

    const std::string restored3 = m_sandbox.writeFile("photos/photo restored 3.jpg", "12345");
    kestrane::test::setModificationTime(restored3, modified);
    photo->clearCache();
    EXPECT_EQ(photo->pathToRestoredFile(), restored3);
    EXPECT_TRUE(photo->isRestored());

    // At the original path it is found first; a different file there is not it.
    const std::string original = m_sandbox.writeFile("photos/photo.jpg", "other content");
    kestrane::test::setModificationTime(original, modified);
    photo->clearCache();
    EXPECT_EQ(photo->pathToRestoredFile(), restored3);
    m_sandbox.writeFile("photos/photo.jpg", "54321");
    kestrane::test::setModificationTime(original, modified);
    photo->clearCache();
    EXPECT_EQ(photo->pathToRestoredFile(), original);
}

TEST_F(RestoreHistoryTest, DestinationsTakeTheFirstFreeRestoredName) {
    const std::string folder = m_sandbox.makeDir("docs");
    auto notes = removedRecord(folder + "/notes.txt", 1, 1);
    auto album = PermanentlyRemovedItem::fromRecord({{"path", folder + "/My.Album"}, {"isDirectory", "1"}});
    const auto group = RestoreGroup::create({notes, album}, {});
    EXPECT_EQ(RestoreHelper::restoreDestination(*notes, std::nullopt), folder + "/notes.txt");
    m_sandbox.writeFile("docs/notes.txt", "x");
    EXPECT_EQ(RestoreHelper::restoreDestination(*notes, std::nullopt), folder + "/notes restored.txt");
    m_sandbox.writeFile("docs/notes restored.txt", "x");
    EXPECT_EQ(RestoreHelper::restoreDestination(*notes, std::nullopt), folder + "/notes restored 2.txt");

    const std::string chosen = m_sandbox.makeDir("chosen");
    EXPECT_EQ(RestoreHelper::restoreDestination(*notes, chosen), chosen + "/notes.txt");
    m_sandbox.writeFile("chosen/notes.txt", "x");
    EXPECT_EQ(RestoreHelper::restoreDestination(*notes, chosen), chosen + "/notes restored.txt");
    EXPECT_EQ(RestoreHelper::restoredFilePathForItem(*album, 2, std::nullopt), folder + "/My.Album restored 2");
    EXPECT_EQ(RestoreHelper::restoredFilePath("/top.txt", false, 1, std::nullopt), "/top restored.txt");
}

TEST_F(RestoreHistoryTest, SourcesAreTheTrashCopyThenAKeptCopyThenAnotherCopyThenTheChosenFile) {
    const std::int64_t modified = 1700000000;
    const std::string content = "same content";
    const std::string keptPath = m_sandbox.writeFile("kept/song.mp3", content);
    kestrane::test::setModificationTime(keptPath, modified);
    // A file in the trash, put there by the Trash module.
    const std::string trashedOriginal = m_sandbox.writeFile("b/song.mp3", content);
    kestrane::test::setModificationTime(trashedOriginal, modified);
    platform::Trash trash;
    const auto entry = trash.moveToTrash(trashedOriginal);
    ASSERT_TRUE(entry);

    auto record = [&](const std::string& path, const char* key) {
        return nlohmann::json{{key, path}, {"size", std::to_string(content.size())}, {"date_mod", logDateText(modified)},
                              {"isDirectory", "0"}};
    };
    auto kept = KeptItem::fromRecord(record(keptPath, "path"));
    auto trashRecord = record(trashedOriginal, "original path");
    trashRecord["path in trash"] = entry->trashedPath;
    auto inTrash = RestoreItem::fromRecord(trashRecord);
    auto deleted = PermanentlyRemovedItem::fromRecord(record(m_sandbox / "c/song.mp3", "path"));
    const auto dates = std::make_shared<FixedDate>(modified + 1000);
    const auto group = RestoreGroup::create({deleted, inTrash}, {kept}, dates);

    EXPECT_EQ(inTrash->itemToRestoreFrom(), inTrash);  // its own copy in the trash
    EXPECT_EQ(inTrash->currentItemPathToRestoreFrom(), entry->trashedPath);
    EXPECT_TRUE(inTrash->itemToRestoreHasToBeRemovedAfterRestore());
    EXPECT_EQ(deleted->itemToRestoreFrom(), kept);
    EXPECT_EQ(kept->itemToRestoreSourcePath(), keptPath);
    EXPECT_FALSE(kept->itemToRestoreHasToBeRemovedAfterRestore());
    EXPECT_EQ(deleted->pathToKeptCopyItem(), keptPath);
    EXPECT_EQ(inTrash->restoreAvailability(), RestoreAvailability::fromTrash);
    EXPECT_EQ(deleted->restoreAvailability(), RestoreAvailability::fromKeptCopy);

    // The kept copy changed since: not a source; the copy in the trash is.
    m_sandbox.writeFile("kept/song.mp3", "changed since");
    group->baseRemovedItemCacheHasToBeCleaned(*deleted);
    EXPECT_EQ(deleted->itemToRestoreFrom(), inTrash);
    EXPECT_EQ(deleted->restoreAvailability(), RestoreAvailability::fromOtherCopy);
    EXPECT_TRUE(deleted->pathToKeptCopyItemsArray().empty());
    EXPECT_EQ(deleted->pathToKeptCopyItemsArrayEvenNotExisting(), std::vector<std::string>{keptPath});

    // The trash emptied: nothing left, and the item cannot be selected...
    ASSERT_EQ(::unlink(entry->trashedPath.c_str()), 0);
    group->baseRemovedItemCacheHasToBeCleaned(*deleted);
    EXPECT_FALSE(deleted->isRestorable());
    EXPECT_FALSE(inTrash->isRestorable());
    EXPECT_FALSE(deleted->setIsSelected(true));
    EXPECT_EQ(deleted->restoreAvailability(), RestoreAvailability::none);
    // ...until the user points at a file that can stand for the kept copy.
    const std::string chosen = m_sandbox.writeFile("elsewhere/song copy.mp3", content);
    deleted->setFileAsFakeOriginal(chosen);
    ASSERT_TRUE(group->fakeKeptItem());
    EXPECT_EQ(deleted->itemToRestoreFrom(), group->fakeKeptItem());
    EXPECT_EQ(deleted->restoreAvailability(), RestoreAvailability::fromChosenFile);
    EXPECT_EQ(deleted->itemToRestoreSourcePath(), std::nullopt);
    EXPECT_TRUE(deleted->setIsSelected(true));
    EXPECT_TRUE(deleted->isSelected());
}

TEST_F(RestoreHistoryTest, ATrashedItemIsFoundAgainAfterTheFileManagerRestoredItAndItWasThrownAwayAgain) {
    const std::int64_t modified = 1700000000;
    const std::string path = m_sandbox.writeFile("docs/report.pdf", "report");
    kestrane::test::setModificationTime(path, modified);
    platform::Trash trash;
    const auto first = trash.moveToTrash(path);
    ASSERT_TRUE(first);
    nlohmann::json record = {{"path in trash", first->trashedPath}, {"original path", path}, {"size", "6"},
                             {"date_mod", logDateText(modified)}, {"isDirectory", "0"}};
    auto item = RestoreItem::fromRecord(record);
    const auto group = RestoreGroup::create({item}, {}, std::make_shared<FixedDate>(modified + 100));
    EXPECT_EQ(item->currentItemPathToRestoreFrom(), first->trashedPath);

    // Restored by a file manager: the item counts as restored.
    ASSERT_FALSE(platform::Trash::restore(*first, path));
    item->clearCache();
    EXPECT_TRUE(item->isRestored());
    EXPECT_EQ(item->currentItemPathToRestoreFrom(), path);

    // Something else thrown away under the same trash name, then the file
    // itself again: it is found under its new trash name.
    kestrane::test::setModificationTime(m_sandbox.writeFile("other/report.pdf", "not the report"), modified);
    const auto squatter = platform::Trash().moveToTrash(m_sandbox / "other/report.pdf");
    ASSERT_TRUE(squatter);
    ASSERT_EQ(squatter->trashedPath, first->trashedPath);
    const auto second = platform::Trash().moveToTrash(path);
    ASSERT_TRUE(second);
    item->clearCache();
    EXPECT_FALSE(item->isRestored());
    const auto current = item->currentTrashEntry();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->trashedPath, second->trashedPath);
}

}  // namespace
