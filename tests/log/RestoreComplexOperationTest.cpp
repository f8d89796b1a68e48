#include "log/RestoreComplexOperation.h"

#include "log/BaseRemovedItem.h"
#include "log/RestoreController.h"
#include "log/RestoreControllersContainer.h"
#include "log/RestoreKernelManager.h"
#include "log/RestoreResultDescriptor.h"
#include "log/VaqLog.h"
#include "log/VaqLogFactory.h"
#include "platform/SafeFileOperations.h"
#include "platform/Trash.h"
#include "support/RemovalRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace kestrane;

// What the operation told, by original path.
class Outcomes : public RestoreComplexOperationDelegate {
public:
    void restoreOperationStarted(RestoreComplexOperation&) override { ++started; }
    void restoreOperationSuccessfullyRestore(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                             const RestoreOutcome& outcome) override {
        restored[item->originalPath()] = outcome;
        result.itemHasSuccessfullyRestored();
    }
    void restoreOperationFailedToRestore(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                         const Error& error) override {
        failed[item->originalPath()] = error;
        result.itemHasFailedToRestore();
    }
    void restoreOperationSkipped(RestoreComplexOperation&, const std::shared_ptr<BaseRemovedItem>& item,
                                 RestoreSkipReason reason) override {
        skipped[item->originalPath()] = reason;
    }
    void restoreOperationFinished(RestoreComplexOperation&) override { ++finished; }

    int started = 0;
    int finished = 0;
    std::map<std::string, RestoreOutcome> restored;
    std::map<std::string, Error> failed;
    std::map<std::string, RestoreSkipReason> skipped;
    RestoreResultDescriptor result{0, 0};
};

// Answers every question with one button, and counts them.
class ScriptedAsker : public QuestionAsker {
public:
    explicit ScriptedAsker(std::size_t button, bool suppress = false) : m_button(button), m_suppress(suppress) {}
    void ask(const Question& question, std::function<void(Answer)> answer) override {
        asked.push_back(question);
        if (onAsk) onAsk();
        answer(Answer{m_button, m_suppress});
    }
    std::vector<Question> asked;
    std::function<void()> onAsk;

private:
    std::size_t m_button;
    bool m_suppress;
};

class RestoreComplexOperationTest : public kestrane::test::IsolatedHomeTest {
protected:
    using File = kestrane::test::RunFile;
    static void recordRun(const std::vector<std::vector<File>>& groups) { kestrane::test::recordRemovalRun(groups); }

    // Every removed item of the newest log, read afresh.
    std::vector<std::shared_ptr<BaseRemovedItem>> removedItems() {
        m_history.loadFromFolder(VaqLogFactory::logFolderPath());
        const auto days = m_history.restoreControllers();
        if (days.empty()) return {};
        const auto log = days.front()->controllers().front();
        log->loadNow();
        return log->children();
    }

    std::shared_ptr<Outcomes> restore(std::vector<std::shared_ptr<BaseRemovedItem>> items,
                                      std::optional<std::string> folder = std::nullopt,
                                      std::shared_ptr<QuestionAsker> asker = nullptr) {
        auto outcomes = std::make_shared<Outcomes>();
        auto operation = RestoreComplexOperation::create(std::move(items), std::move(folder), std::move(asker));
        operation->setDelegate(outcomes);
        operation->start();
        EXPECT_TRUE(kestrane::test::runMainQueueUntil([&] { return outcomes->finished == 1; }));
        EXPECT_EQ(outcomes->started, 1);
        return outcomes;
    }

    RestoreKernelManager m_history;
};

TEST_F(RestoreComplexOperationTest, TrashedAndDeletedFilesComeBackWithTheirBytesAndTimesAndOnlyOnce) {
    const std::string content = kestrane::test::noise(70000, 5);
    const std::string kept = m_sandbox.writeFile("a/photo.jpg", content);
    const std::string trashed = m_sandbox.writeFile("b/photo.jpg", content);
    const std::string deleted = m_sandbox.writeFile("c/photo.jpg", content);
    kestrane::test::setModificationTime(kept, 1700000000, 250000000);
    kestrane::test::setModificationTime(trashed, 1700000100, 123456789);
    kestrane::test::setModificationTime(deleted, 1700000200, 987654321);
    recordRun({{{kept, File::kept}, {trashed, File::trashed}, {deleted, File::deleted}}});
    const std::string trashFiles = m_home + "/.local/share/Trash/files";
    ASSERT_TRUE(platform::pathExists(trashFiles + "/photo.jpg"));

    auto items = removedItems();
    ASSERT_EQ(items.size(), 2u);
    const auto outcomes = restore(items);
    ASSERT_EQ(outcomes->restored.size(), 2u) << (outcomes->failed.empty() ? "" : outcomes->failed.begin()->second.describe());
    EXPECT_EQ(outcomes->restored[trashed].method, RestoreMethod::movedFromTrash);
    EXPECT_EQ(outcomes->restored[deleted].method, RestoreMethod::copiedFromKeptCopy);
    EXPECT_EQ(outcomes->restored[deleted].source, kept);
    EXPECT_EQ(outcomes->result.resultDescription(), "2 files were restored successfully.");

    // Bytes, and modification times: the trashed file's exactly (it was
    // moved), the deleted one's to the second the log keeps.
    EXPECT_EQ(kestrane::test::md5sum(trashed), kestrane::test::md5sum(kept));
    EXPECT_EQ(kestrane::test::md5sum(deleted), kestrane::test::md5sum(kept));
    EXPECT_EQ(kestrane::test::modificationTimeOf(trashed).tv_sec, 1700000100);
    EXPECT_EQ(kestrane::test::modificationTimeOf(trashed).tv_nsec, 123456789);
    EXPECT_EQ(kestrane::test::modificationTimeOf(deleted).tv_sec, 1700000200);
    EXPECT_EQ(kestrane::test::fileContent(kept), content);  // the kept copy stays
    EXPECT_FALSE(platform::pathExists(trashFiles + "/photo.jpg"));
    EXPECT_FALSE(platform::pathExists(m_home + "/.local/share/Trash/info/photo.jpg.trashinfo"));
    for (const auto& item : items) {
        EXPECT_TRUE(item->isRestored());
        EXPECT_FALSE(item->isRestoreFailed());
    }

    // A second restore, from a fresh reading of the log: both already restored.
    const auto again = restore(removedItems());
    EXPECT_TRUE(again->restored.empty());
    EXPECT_TRUE(again->failed.empty());
    EXPECT_EQ(again->skipped.size(), 2u);
    EXPECT_EQ(again->skipped[trashed], RestoreSkipReason::alreadyRestored);
    const auto message = RestoreComplexOperation::messageWhenNothingCanBeRestored(removedItems(), false);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->kind, "restore.nothingToRestore");
    EXPECT_EQ(message->title, "No duplicates to restore");
    EXPECT_EQ(message->text, "All duplicates removed on this date have been restored already.");
}

TEST_F(RestoreComplexOperationTest, ATakenOriginalPlaceIsNeverReplacedAndTheUserDecides) {
    const std::string kept = m_sandbox.writeFile("a/notes.txt", "notes");
    const std::string deleted = m_sandbox.writeFile("b/notes.txt", "notes");
    const std::string trashed = m_sandbox.writeFile("c/notes.txt", "notes");
    recordRun({{{kept, File::kept}, {deleted, File::deleted}, {trashed, File::trashed}}});
    // New files where the removed ones were.
    m_sandbox.writeFile("b/notes.txt", "a newer text");
    m_sandbox.writeFile("c/notes.txt", "another newer text");

    // "Skip", for this one and the others: nothing changes, asked once.
    auto skip = std::make_shared<ScriptedAsker>(1, true);
    const auto skipped = restore(removedItems(), std::nullopt, skip);
    ASSERT_EQ(skip->asked.size(), 1u);
    EXPECT_EQ(skip->asked[0].kind, "restore.originalPlaceTaken");
    EXPECT_EQ(skip->asked[0].paths, std::vector<std::string>{deleted});
    ASSERT_TRUE(skip->asked[0].parameter("destination"));
    EXPECT_EQ(*skip->asked[0].parameter("destination"), m_sandbox / "b/notes restored.txt");
    EXPECT_EQ(skipped->failed.size(), 2u);
    EXPECT_EQ(skipped->failed[deleted].code, EEXIST);
    EXPECT_EQ(kestrane::test::fileContent(deleted), "a newer text");
    EXPECT_EQ(kestrane::test::fileContent(trashed), "another newer text");
    EXPECT_FALSE(platform::pathExists(m_sandbox / "b/notes restored.txt"));
    EXPECT_EQ(skipped->result.resultDescription(), "2 files could not be restored.");

    // "Restore as ...": next to it, under the restored name.
    auto yes = std::make_shared<ScriptedAsker>(0);
    const auto restored = restore(removedItems(), std::nullopt, yes);
    EXPECT_EQ(yes->asked.size(), 2u);
    ASSERT_EQ(restored->restored.size(), 2u);
    EXPECT_EQ(kestrane::test::fileContent(m_sandbox / "b/notes restored.txt"), "notes");
    EXPECT_EQ(kestrane::test::fileContent(m_sandbox / "c/notes restored.txt"), "notes");
    EXPECT_EQ(restored->restored[trashed].method, RestoreMethod::movedFromTrash);
    EXPECT_EQ(kestrane::test::fileContent(deleted), "a newer text");

    // Without an asker the restored name is taken as it is; the restored
    // copies are found, so the items count as restored.
    for (const auto& item : removedItems()) EXPECT_TRUE(item->isRestored()) << item->originalPath();
}

TEST_F(RestoreComplexOperationTest, IntoAChosenFolderFilesAreCopiedAndTheTrashKeepsItsCopy) {
    const std::string kept = m_sandbox.writeFile("a/song.mp3", "music");
    const std::string trashed = m_sandbox.writeFile("b/song.mp3", "music");
    recordRun({{{kept, File::kept}, {trashed, File::trashed}}});
    const std::string chosen = m_sandbox.makeDir("chosen");
    m_sandbox.writeFile("chosen/song.mp3", "something else");

    const auto first = restore(removedItems(), chosen);
    ASSERT_EQ(first->restored.size(), 1u);
    EXPECT_EQ(first->restored[trashed].method, RestoreMethod::copiedFromTrash);
    EXPECT_EQ(first->restored[trashed].destination, chosen + "/song restored.mp3");
    EXPECT_EQ(kestrane::test::fileContent(chosen + "/song restored.mp3"), "music");
    EXPECT_EQ(kestrane::test::fileContent(chosen + "/song.mp3"), "something else");
    EXPECT_TRUE(platform::pathExists(m_home + "/.local/share/Trash/files/song.mp3"));
    EXPECT_FALSE(platform::pathExists(trashed));

    // Restored to its place now, it is copied again into a chosen folder
    // (and left out when restoring to the original places).
    ASSERT_EQ(restore(removedItems())->restored.size(), 1u);
    EXPECT_TRUE(platform::pathExists(trashed));
    EXPECT_EQ(restore(removedItems())->skipped[trashed], RestoreSkipReason::alreadyRestored);
    const auto copiedAgain = restore(removedItems(), chosen);
    ASSERT_EQ(copiedAgain->restored.size(), 1u);
    EXPECT_EQ(copiedAgain->restored[trashed].destination, chosen + "/song restored 2.mp3");
}

TEST_F(RestoreComplexOperationTest, FailuresAreReportedPerFileAndTheOthersGoOn) {
    std::vector<std::vector<File>> groups;
    for (const char* name : {"one", "two", "three"}) {
        const std::string kept = m_sandbox.writeFile(std::string("kept/") + name + ".txt", name);
        const std::string removed = m_sandbox.writeFile(std::string(name) + "/" + name + ".txt", name);
        groups.push_back({{kept, File::kept}, {removed, File::deleted}});
    }
    // A folder tree removed, its kept copy a whole folder.
    m_sandbox.writeFile("albums/kept/x.jpg", "x");
    m_sandbox.writeFile("albums/kept/sub/y.jpg", "y");
    m_sandbox.writeFile("albums/gone/x.jpg", "x");
    m_sandbox.writeFile("albums/gone/sub/y.jpg", "y");
    groups.push_back({{m_sandbox / "albums/kept", File::kept}, {m_sandbox / "albums/gone", File::deleted}});
    recordRun(groups);
    // The folder of "two" is now a file: it cannot be restored there.
    ASSERT_TRUE(std::filesystem::remove(m_sandbox / "two"));
    m_sandbox.writeFile("two", "a file in the way");

    const auto items = removedItems();
    const auto outcomes = restore(items);
    EXPECT_EQ(outcomes->restored.size(), 3u);
    ASSERT_EQ(outcomes->failed.size(), 1u);
    EXPECT_EQ(outcomes->failed.begin()->first, m_sandbox / "two/two.txt");
    EXPECT_EQ(kestrane::test::fileContent(m_sandbox / "albums/gone/sub/y.jpg"), "y");
    EXPECT_EQ(kestrane::test::fileContent(m_sandbox / "three/three.txt"), "three");
    EXPECT_EQ(kestrane::test::fileContent(m_sandbox / "two"), "a file in the way");

    RestoreResultDescriptor result(3, 0);
    result.itemHasSuccessfullyRestored();
    result.itemHasSuccessfullyRestored();
    result.itemHasFailedToRestore();
    EXPECT_EQ(result.resultDescription(), "2 files were restored successfully. 1 file could not be restored.");
    EXPECT_EQ(RestoreResultDescriptor(1, 1).resultDescription(), "1 file could not be restored.");

    // The failed item keeps its failure and its reason until the next attempt.
    for (const auto& item : items) {
        const bool isTwo = item->originalPath() == m_sandbox / "two/two.txt";
        EXPECT_EQ(item->isRestoreFailed(), isTwo) << item->originalPath();
        EXPECT_EQ(item->restoreError().has_value(), isTwo);
        if (isTwo) {
            item->clearItemErrorInfo();
            EXPECT_FALSE(item->isRestoreFailed());
        }
    }
}

TEST_F(RestoreComplexOperationTest, NothingToRestoreFromIsSaidBeforeAndSkippedDuring) {
    const std::string kept = m_sandbox.writeFile("a/clip.mov", "clip");
    const std::string deleted = m_sandbox.writeFile("b/clip.mov", "clip");
    const std::string keptToo = m_sandbox.writeFile("c/doc.txt", "doc");
    const std::string deletedToo = m_sandbox.writeFile("d/doc.txt", "doc");
    recordRun({{{kept, File::kept}, {deleted, File::deleted}}, {{keptToo, File::kept}, {deletedToo, File::deleted}}});
    ASSERT_EQ(::unlink(kept.c_str()), 0);
    auto items = removedItems();
    std::vector<std::shared_ptr<BaseRemovedItem>> clipOnly;
    for (const auto& item : items)
        if (item->originalPath() == deleted) clipOnly.push_back(item);
    const auto one = RestoreComplexOperation::messageWhenNothingCanBeRestored(clipOnly, false);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->kind, "restore.cannotRestore");
    EXPECT_EQ(one->title, "Cannot restore file \"clip.mov\"");
    EXPECT_FALSE(RestoreComplexOperation::messageWhenNothingCanBeRestored(items, false));

    ASSERT_EQ(::unlink(keptToo.c_str()), 0);
    items = removedItems();
    const auto some = RestoreComplexOperation::messageWhenNothingCanBeRestored(items, false);
    ASSERT_TRUE(some);
    EXPECT_EQ(some->title, "Cannot restore some files");
    EXPECT_EQ(some->text, "2 files were not found.");

    const auto outcomes = restore(items);
    EXPECT_EQ(outcomes->skipped.size(), 2u);
    EXPECT_EQ(outcomes->skipped[deleted], RestoreSkipReason::noSource);
    EXPECT_FALSE(platform::pathExists(deleted));
}

TEST_F(RestoreComplexOperationTest, AStopEndsTheRestoreAfterTheFileInHand) {
    std::vector<std::vector<File>> groups;
    for (const char* name : {"one", "two", "three"}) {
        const std::string kept = m_sandbox.writeFile(std::string("kept/") + name, name);
        const std::string removed = m_sandbox.writeFile(std::string("gone/") + name, name);
        groups.push_back({{kept, File::kept}, {removed, File::deleted}});
    }
    recordRun(groups);
    m_sandbox.writeFile("gone/one", "in the way");  // the first file's place is taken: a question

    auto asker = std::make_shared<ScriptedAsker>(0);
    auto outcomes = std::make_shared<Outcomes>();
    auto operation = RestoreComplexOperation::create(removedItems(), std::nullopt, asker);
    asker->onAsk = [&] { operation->stop(); };  // stopped while the first file waits for its answer
    operation->setDelegate(outcomes);
    operation->start();
    operation->start();  // a second start does nothing
    ASSERT_TRUE(kestrane::test::runMainQueueUntil([&] { return outcomes->finished == 1; }));
    EXPECT_EQ(outcomes->started, 1);
    EXPECT_EQ(outcomes->restored.size(), 1u);
    EXPECT_EQ(operation->countOfSuccessfullyPerformedOperations(), 1u);
    EXPECT_EQ(operation->totalCountOfOperations(), 3u);
    EXPECT_FALSE(platform::pathExists(m_sandbox / "gone/two"));
    EXPECT_FALSE(platform::pathExists(m_sandbox / "gone/three"));
}

}  // namespace
