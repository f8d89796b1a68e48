// Whole removal sessions on real files: what goes, where it goes, what the
// result model keeps, and how failures are grouped, asked about and retried.
#include "RemovalTestSupport.h"

#include "duplicates/DuplicatesGroup.h"
#include "platform/FileFlags.h"
#include "platform/PreferencesStore.h"
#include "platform/UserFolders.h"
#include "removal/DuplicateItemsRemoverBehaviorLog.h"
#include "removal/DuplicatesFinderToTrashRemover.h"
#include "removal/RemoveAlertsController.h"
#include "settings/Settings.h"
#include "support/FlagsReset.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>
#include <fstream>

#include <unistd.h>

namespace kestrane {
namespace {

using test::contentOf;
using test::existsOnDisk;
using Choice = test::ScriptedAsker::Choice;

// The records of one kind ("kept", "removed", "moved to trash") of a removal
// log, each as (its path, its path in the trash when it has one).
std::set<std::pair<std::string, std::string>> logRecords(const std::string& logFile, const std::string& kind) {
    std::set<std::pair<std::string, std::string>> records;
    const auto log = nlohmann::json::parse(contentOf(logFile), nullptr, false);
    if (log.is_discarded() || !log.contains("changes")) return records;
    for (const auto& [id, group] : log["changes"].items()) {
        if (!group.contains(kind)) continue;
        for (const auto& record : group[kind]) {
            if (record.contains("original path"))
                records.emplace(record["original path"].get<std::string>(), record["path in trash"].get<std::string>());
            else
                records.emplace(record["path"].get<std::string>(), std::string());
        }
    }
    return records;
}

class RemovalSessionTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        DuplicatesFinderToTrashRemover::setTrashProgram(KESTRANE_BINARY);
    }

    std::shared_ptr<DuplicatesContainer> scan(const std::vector<std::string>& folders, bool folderStages = false) {
        auto outcome = test::scanFolders(folders, {.folderStages = folderStages});
        EXPECT_TRUE(outcome.container);
        return outcome.container;
    }

    // Two copies of `bytes`: the first kept, the second to be selected.
    std::pair<std::string, std::string> twins(const std::string& first, const std::string& second, std::uint32_t seed) {
        const std::string bytes = test::noise(3000 + seed, seed);
        return {m_sandbox.writeFile(first, bytes), m_sandbox.writeFile(second, bytes)};
    }

    std::string homeTrash() const { return platform::joinPath(platform::dataHome(), "Trash"); }
};

TEST_F(RemovalSessionTest, PermanentRemovalTakesExactlyTheSelectedCopiesAndTheirGroups) {
    const auto [keptA, goneA] = twins("photos/a/one.jpg", "photos/b/one.jpg", 1);
    const auto [keptB, goneB] = twins("photos/a/two.jpg", "photos/c/two copy.jpg", 2);
    const auto [stayA, stayB] = twins("photos/a/three.jpg", "photos/c/three.jpg", 3);
    const auto container = scan({m_sandbox / "photos"});
    ASSERT_TRUE(container);
    test::selectPaths(*container, {goneA, goneB});
    const auto sizeBefore = container->getAllFilesSize();

    const auto outcome = test::removeSelected(container, false);

    EXPECT_FALSE(existsOnDisk(goneA));
    EXPECT_FALSE(existsOnDisk(goneB));
    for (const auto& path : {keptA, keptB, stayA, stayB}) EXPECT_TRUE(existsOnDisk(path)) << path;
    std::vector<std::string> removed = outcome.recorder->removedPaths;
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::string>{goneA, goneB}));
    EXPECT_EQ(outcome.remover->removedCount(), 2u);
    EXPECT_TRUE(outcome.asker->asked.empty());
    // Groups left with one copy are gone from the result; the untouched one stays.
    EXPECT_EQ(test::fileGroups(*container), (test::PathGroups{{stayA, stayB}}));
    EXPECT_LT(container->getAllFilesSize(), sizeBefore);
    // Every removed copy is in the log, the kept copies of its group too.
    ASSERT_FALSE(outcome.remover->logFilePath().empty());
    EXPECT_EQ(logRecords(outcome.remover->logFilePath(), "removed"),
              (std::set<std::pair<std::string, std::string>>{{goneA, ""}, {goneB, ""}}));
    EXPECT_EQ(logRecords(outcome.remover->logFilePath(), "kept"),
              (std::set<std::pair<std::string, std::string>>{{keptA, ""}, {keptB, ""}}));
}

TEST_F(RemovalSessionTest, TrashRemovalMovesCopiesIntoTheHomeTrashWithTheirInfo) {
    const auto [kept, gone] = twins("photos/a/beach.jpg", "photos/b/beach.jpg", 4);
    const std::string bytes = contentOf(gone);
    const auto container = scan({m_sandbox / "photos"});
    ASSERT_TRUE(container);
    test::selectPaths(*container, {gone});

    const auto outcome = test::removeSelected(container, true);

    EXPECT_FALSE(existsOnDisk(gone));
    EXPECT_TRUE(existsOnDisk(kept));
    EXPECT_EQ(contentOf(homeTrash() + "/files/beach.jpg"), bytes);
    EXPECT_NE(contentOf(homeTrash() + "/info/beach.jpg.trashinfo").find("Path=" + gone), std::string::npos);
    EXPECT_EQ(outcome.remover->removedCount(), 1u);
    EXPECT_EQ(logRecords(outcome.remover->logFilePath(), "moved to trash"),
              (std::set<std::pair<std::string, std::string>>{{gone, homeTrash() + "/files/beach.jpg"}}));
}

TEST_F(RemovalSessionTest, ACopyOnAnotherVolumeGoesToThatVolumesTrash) {
    const std::string mountPoint = m_sandbox.makeDir("volume");
    test::TmpfsMount volume(mountPoint);
    if (!volume.mounted()) GTEST_SKIP() << volume.skipReason();
    const auto [kept, gone] = twins("volume/a/song.mp3", "volume/b/song.mp3", 5);
    const std::string bytes = contentOf(gone);
    const auto container = scan({mountPoint});
    ASSERT_TRUE(container);
    test::selectPaths(*container, {gone});

    const auto outcome = test::removeSelected(container, true);

    const std::string volumeTrash = mountPoint + "/.Trash-" + std::to_string(::getuid());
    EXPECT_FALSE(existsOnDisk(gone));
    EXPECT_EQ(contentOf(volumeTrash + "/files/song.mp3"), bytes);
    EXPECT_NE(contentOf(volumeTrash + "/info/song.mp3.trashinfo").find("Path=b/song.mp3"), std::string::npos);
    EXPECT_FALSE(existsOnDisk(homeTrash() + "/files/song.mp3"));
    EXPECT_TRUE(existsOnDisk(kept));
}

TEST_F(RemovalSessionTest, ACopyOnAReadOnlyVolumeIsReportedAndNeverRetried) {
    const std::string mountPoint = m_sandbox.makeDir("cdrom");
    test::TmpfsMount volume(mountPoint);
    if (!volume.mounted()) GTEST_SKIP() << volume.skipReason();
    const auto [kept, stuck] = twins("cdrom/a/track.flac", "cdrom/b/track.flac", 6);
    ASSERT_TRUE(volume.remount(true));
    const auto container = scan({mountPoint});
    ASSERT_TRUE(container);
    test::selectPaths(*container, {stuck});

    for (const bool toTrash : {true, false}) {
        const auto outcome = test::removeSelected(container, toTrash);
        EXPECT_TRUE(existsOnDisk(stuck));
        EXPECT_EQ(outcome.asker->kinds(), (std::vector<std::string>{RemovalQuestionKind::readOnlyDisk}));
        ASSERT_EQ(outcome.remover->removeErrors().size(), 1u);
        EXPECT_EQ(outcome.remover->removeErrors().front().removeGroupType(), RemoveGroupType::readOnlyDisk);
        EXPECT_EQ(outcome.asker->asked.front().title, "The file \"track.flac\" was not removed");
        EXPECT_EQ(outcome.asker->asked.front().text, "The file is located on a disk with Read Only permission.");
    }
    ASSERT_TRUE(volume.remount(false));
}

TEST_F(RemovalSessionTest, ALockedCopyIsUnlockedAndRemovedOnceTheGroupIsConfirmed) {
    if (::geteuid() != 0) GTEST_SKIP() << "setting the immutable flag needs root (CAP_LINUX_IMMUTABLE)";
    const auto [keptTrash, lockedTrash] = twins("photos/a/locked-one.jpg", "photos/b/locked-one.jpg", 7);
    const auto [keptGone, lockedGone] = twins("photos/a/locked-two.jpg", "photos/c/locked-two.jpg", 8);
    const auto [keptStay, lockedStay] = twins("photos/a/locked-three.jpg", "photos/d/locked-three.jpg", 9);
    const test::FlagsReset r1(lockedTrash), r2(lockedGone), r3(lockedStay), r4(m_sandbox / "photos/c");
    if (platform::setFileFlags(lockedTrash, {.immutable = true})) GTEST_SKIP() << "this file system keeps no immutable flag";
    ASSERT_EQ(platform::setFileFlags(lockedGone, {.appendOnly = true}), std::nullopt);
    ASSERT_EQ(platform::setFileFlags(m_sandbox / "photos/c", {.immutable = true}), std::nullopt);
    ASSERT_EQ(platform::setFileFlags(lockedStay, {.immutable = true}), std::nullopt);
    const auto container = scan({m_sandbox / "photos"});
    ASSERT_TRUE(container);

    // To the Trash, confirmed: the script clears the flag and moves it.
    test::selectPaths(*container, {lockedTrash});
    auto outcome = test::removeSelected(container, true, Choice::yes);
    EXPECT_EQ(outcome.asker->kinds(), (std::vector<std::string>{RemovalQuestionKind::lockedFiles}));
    EXPECT_FALSE(existsOnDisk(lockedTrash));
    EXPECT_TRUE(existsOnDisk(homeTrash() + "/files/locked-one.jpg"));
    EXPECT_EQ(outcome.recorder->removedPaths, (std::vector<std::string>{lockedTrash}));
    EXPECT_EQ(logRecords(outcome.remover->logFilePath(), "moved to trash"),
              (std::set<std::pair<std::string, std::string>>{{lockedTrash, homeTrash() + "/files/locked-one.jpg"}}));

    // Permanently, in a locked folder, confirmed.
    test::selectPaths(*container, {lockedGone});
    outcome = test::removeSelected(container, false, Choice::yes);
    EXPECT_EQ(outcome.asker->kinds(), (std::vector<std::string>{RemovalQuestionKind::lockedFiles}));
    EXPECT_FALSE(existsOnDisk(lockedGone));
    EXPECT_TRUE(outcome.remover->removeErrors().empty());

    // Declined: it stays, and is among the failures.
    test::selectPaths(*container, {lockedStay});
    outcome = test::removeSelected(container, false, Choice::safe);
    EXPECT_TRUE(existsOnDisk(lockedStay));
    EXPECT_TRUE(platform::fileFlagsOfPath(lockedStay)->immutable);
    ASSERT_EQ(outcome.remover->removeErrors().size(), 1u);
    EXPECT_EQ(outcome.remover->removeErrors().front().path(), lockedStay);
    for (const auto& path : {keptTrash, keptGone, keptStay}) EXPECT_TRUE(existsOnDisk(path)) << path;
}

TEST_F(RemovalSessionTest, FoldersLeftEmptyGoWhenAskedButNeverAChosenFolder) {
    const auto [keptA, goneA] = twins("photos/keep/a.jpg", "photos/emptied/a.jpg", 10);
    m_sandbox.writeFile("photos/emptied/.DS_Store", "finder junk");
    const auto [keptB, goneB] = twins("photos/keep/b.jpg", "photos/other/b.jpg", 11);
    const std::string stays = m_sandbox.writeFile("photos/other/notes.txt", "not a duplicate");
    const auto [keptC, goneC] = twins("photos/keep/c.jpg", "photos/c.jpg", 12);
    const auto container = scan({m_sandbox / "photos"});
    ASSERT_TRUE(container);
    test::selectPaths(*container, {goneA, goneB, goneC});

    test::removeSelected(container, false, Choice::yes, true);

    EXPECT_FALSE(existsOnDisk(m_sandbox / "photos/emptied"));
    EXPECT_TRUE(existsOnDisk(stays));
    EXPECT_FALSE(existsOnDisk(goneB));
    EXPECT_TRUE(existsOnDisk(m_sandbox / "photos"));
    for (const auto& path : {keptA, keptB, keptC}) EXPECT_TRUE(existsOnDisk(path));
}

TEST_F(RemovalSessionTest, TheBehaviourLogTellsWhatTheSessionDecided) {
    const std::string mountPoint = m_sandbox.makeDir("ro");
    test::TmpfsMount volume(mountPoint);
    if (!volume.mounted()) GTEST_SKIP() << volume.skipReason();
    const auto [kept, stuck] = twins("ro/a/x.jpg", "ro/b/x.jpg", 13);
    const auto [keptOk, gone] = twins("ro/a/y.jpg", "ro/c/y.jpg", 14);
    const auto container = scan({mountPoint});
    ASSERT_TRUE(container);
    test::selectPaths(*container, {stuck});
    ASSERT_TRUE(volume.remount(true));

    test::removeSelected(container, false, Choice::safe);

    EXPECT_EQ(DuplicateItemsRemoverBehaviorLog::shared()->content(),
              " --- Remove Log Start -- \n"
              "Remove to Trash: true\n"
              "Remove empty folders: false\n"
              "Remove to Trash: false\n"
              "Count of remove items: 1\n"
              "Run remove nil\n"
              "Finish remove nil\n"
              " - Group ReadOnlyAccess: 0\n"
              " - Group LockedFiles: 0\n"
              " - Group ReadOnlyNTFSDisk: 0\n"
              " - Group ReadOnlyDisk: 1\n"
              " - Group Unknown: 0\n"
              "Start remove ReadOnlyDisk\n"
              "Cancel remove ReadOnlyDisk\n"
              "Not removed items info:\n"
              "Count of items: 0\n"
              "Count of not processed errors: 1\n"
              " --- Remove Log End -- \n");
    ASSERT_TRUE(volume.remount(false));
}

TEST_F(RemovalSessionTest, APermanentRemovalAsksFirstUnlessToldNotTo) {
    auto asker = std::make_shared<test::ScriptedAsker>(Choice::safe);
    bool accepted = true;
    DuplicateItemsRemover::confirmRemovePermanently(asker, 3, [&](bool ok) { accepted = ok; });
    EXPECT_FALSE(accepted);
    ASSERT_EQ(asker->asked.size(), 1u);
    EXPECT_EQ(asker->asked[0].title, "Are you sure you want to delete some files permanently?");
    EXPECT_EQ(asker->asked[0].text, "3 items will be deleted permanently. You cannot undo this action.");
    EXPECT_EQ(asker->asked[0].suppressionTitle, "Don't show this message again");

    auto yes = std::make_shared<test::ScriptedAsker>(Choice::yes);
    yes->suppress = true;
    DuplicateItemsRemover::confirmRemovePermanently(yes, 1, [&](bool ok) { accepted = ok; });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(yes->asked[0].text, "1 item will be deleted permanently. You cannot undo this action.");
    EXPECT_FALSE(Settings::standard().showRemovePermanentlyMessage());

    auto silent = std::make_shared<test::ScriptedAsker>(Choice::safe);
    DuplicateItemsRemover::confirmRemovePermanently(silent, 5, [&](bool ok) { accepted = ok; });
    EXPECT_TRUE(accepted);
    EXPECT_TRUE(silent->asked.empty());
}

}  // namespace
}  // namespace kestrane
