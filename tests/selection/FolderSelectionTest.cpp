#include "selection/FolderSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupSelection.h"
#include "duplicates/HeapsCollection.h"
#include "folders/DuplicatesHeap.h"
#include "folders/FSFolderManager.h"
#include "folders/HeapsGroup.h"
#include "folders/InternalDuplicatesByGroupSeparator.h"
#include "selection/ManualSelection.h"
#include "selection/SimilarFolderSelection.h"
#include "settings/Settings.h"
#include "support/FolderTreeSupport.h"
#include "platform/NotificationCenter.h"
#include "scan/FolderSystemItem.h"
#include "support/ScanTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kestrane {
namespace {

using Separator = InternalDuplicatesByGroupSeparator;

// Real files, scanned:
//   in/a  out1/a  out2/a   three copies, one inside "in"
//   in/b  out1/b           two copies
//   in/c  in/sub/c         a group "in" holds whole
//   T1, T2                 identical folders (t1, t2 each)
class FolderSelectionTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        for (const char* path : {"in/a", "out1/a", "out2/a"}) m_dir.writeFile(path, test::noise(4000, 1));
        for (const char* path : {"in/b", "out1/b"}) m_dir.writeFile(path, test::noise(4100, 2));
        for (const char* path : {"in/c", "in/sub/c"}) m_dir.writeFile(path, test::noise(4200, 3));
        for (const char* twin : {"T1/", "T2/"}) {
            m_dir.writeFile(std::string(twin) + "t1", test::noise(4300, 4));
            m_dir.writeFile(std::string(twin) + "t2", test::noise(4400, 5));
        }
        m_scan = test::scanFolders({m_dir.path()});
        ASSERT_TRUE(m_scan.container);
    }

    FileSystemItem* item(const std::string& relative) {
        return m_scan.container->findExistedSystemItemWithPath(m_dir / relative);
    }
    FolderSystemItem* folder(const std::string& relative) { return static_cast<FolderSystemItem*>(item(relative)); }
    std::shared_ptr<DuplicateItem> entry(const std::string& relative) {
        DuplicateItem* raw = item(relative)->getDuplicateItem();
        return raw ? raw->weak_from_this().lock() : nullptr;
    }
    // Every selected copy of the result, relative to the tree.
    std::set<std::string> selected() {
        std::set<std::string> paths;
        for (const auto& group : m_scan.container->getAllFilesGroups())
            for (const auto& copy : group->getSelectedItems())
                paths.insert(copy->getFileItemPath().substr(m_dir.path().size() + 1));
        return paths;
    }
    void selectIn(const std::string& relative, bool state, const Separator* favorites = nullptr) {
        FolderSelection::setDuplicatesSelectionState(Separator::duplicatesWithExternalCopies(*folder(relative)),
                                                     favorites, state);
    }

    void TearDown() override {
        FSFolderManager::sharedInstance().clear();
        IsolatedHomeTest::TearDown();
    }
    FSFolder& node(const std::string& relative) {
        test::settleFolderTree();
        return *test::nodeOf(item(relative));
    }

    test::TempDir m_dir;
    test::ScanOutcome m_scan;
};

TEST_F(FolderSelectionTest, SelectingAFolderTakesItsCopiesWithOutsideCopiesAndKeepsTheRest) {
    int notifications = 0;
    const auto observation = platform::NotificationCenter::defaultCenter().addObserver(
        GroupSelection::kDuplicateItemSelectionChangedNotification, [&](const auto&) { ++notifications; });
    selectIn("in", true);
    EXPECT_EQ(selected(), (std::set<std::string>{"in/a", "in/b"}));  // c is held whole by "in"
    EXPECT_EQ(notifications, 1) << "one batch, one notification";

    // out1: a's copy is taken (out2's stays); every copy of b outside out1
    // was selected, so b starts again from nothing and in/b becomes the kept one.
    selectIn("out1", true);
    EXPECT_EQ(selected(), (std::set<std::string>{"in/a", "out1/a", "out1/b"}));
    selectIn("out2", true);
    EXPECT_EQ(selected(), (std::set<std::string>{"out1/b", "out2/a"}));
    for (const auto& group : m_scan.container->getAllFilesGroups()) EXPECT_FALSE(group->isAllItemsSelected());

    selectIn("in", false);  // nothing of "in" is selected any more
    EXPECT_EQ(selected(), (std::set<std::string>{"out1/b", "out2/a"}));
    selectIn("out2", false);
    EXPECT_EQ(selected(), (std::set<std::string>{"out1/b"}));
}

TEST_F(FolderSelectionTest, CopiesInFavoriteFoldersAreLeftOutAndDuplicateFoldersGoWithTheirFiles) {
    // Keeping what "in" holds: its copies are never taken.
    const Separator favorites(folder("in"), Separator::CollectionType::duplicates);
    selectIn("in", true, &favorites);
    EXPECT_TRUE(selected().empty());
    Separator inAndOut1 = Separator::duplicatesWithExternalCopies(*folder("in"));
    inAndOut1.addSeparator(Separator::duplicatesWithExternalCopies(*folder("out1")));
    FolderSelection::setDuplicatesSelectionState(inAndOut1, &favorites, true);
    EXPECT_EQ(selected(), (std::set<std::string>{"out1/a", "out1/b"}));
    FolderSelection::setDuplicatesSelectionState(inAndOut1, &favorites, false);
    EXPECT_TRUE(selected().empty());

    // T1 is a duplicate folder: selecting it is confirmed first, and its
    // files go with it.
    ASSERT_TRUE(FolderSelection::needsDuplicateFolderConfirmation(*folder("T1")));
    const Question question = FolderSelection::duplicateFolderQuestion(*folder("T1"));
    EXPECT_EQ(question.kind, "selection.duplicateFolder");
    EXPECT_EQ(question.title, "\"T1\" is a duplicate folder");
    EXPECT_EQ(question.text, "This folder will be removed along with its files.");
    EXPECT_EQ(question.buttons[question.safeButton], "Cancel");
    EXPECT_FALSE(FolderSelection::needsDuplicateFolderConfirmation(*folder("in")));
    selectIn("T1", true);
    EXPECT_TRUE(entry("T1")->isSelected());
    EXPECT_TRUE(entry("T1/t1")->isSelected());
    EXPECT_FALSE(entry("T2")->isSelected());
    // Its files go only with it: deselecting one alone is refused, and asked about.
    entry("T1/t1")->deselectItem();
    EXPECT_TRUE(entry("T1/t1")->isSelected());
    const Question whole = ManualSelection::deselectWithParentFolderQuestion(*entry("T1/t1"));
    EXPECT_EQ(whole.title, "The item can be deselected only with its parent folder");
    EXPECT_EQ(whole.paths, std::vector<std::string>{m_dir / "T1"});
    EXPECT_FALSE(FolderSelection::needsDuplicateFolderConfirmation(*folder("T1")));
    EXPECT_EQ(m_scan.container->buildRemoveList().size(), 1u) << "the folder stands for its files";
}


TEST_F(FolderSelectionTest, KeptFoldersHaveTheirCopiesElsewhereSelectedAndLoseTheMarkAsTheyShould) {
    test::buildFolderTree(m_scan.container);
    FolderSelection::setIsFavoriteFolder(node("in"), true);
    EXPECT_TRUE(node("in").isFavorite());
    EXPECT_TRUE(node("in/sub").isFavorite()) << "a kept folder's sub-folders are kept";
    // c: every copy in kept folders, so nothing of it is selected.
    EXPECT_EQ(selected(), (std::set<std::string>{"out1/a", "out2/a", "out1/b"}));
    EXPECT_EQ(node("in").info().countOfSelectedDuplicates, 0);
    EXPECT_EQ(node("out1").info().countOfSelectedDuplicates, 2);

    // Unmarking a sub-folder unmarks its kept parent too: nothing is kept any more.
    FolderSelection::setIsFavoriteFolder(node("in/sub"), false);
    EXPECT_FALSE(node("in").isFavorite());
    EXPECT_TRUE(selected().empty()) << "the groups of the old kept folders start again from nothing";

    // The checkbox of a kept folder: it loses its mark, its sub-folder keeps
    // its own (so c's copy outside it, in/c, goes), and its copies reaching
    // outside are selected.
    FolderSelection::setIsFavoriteFolder(node("in"), true);
    EXPECT_EQ(FolderSelection::toggleFolder(node("in"), false), FolderSelection::ToggleOutcome::selected);
    EXPECT_FALSE(node("in").isFavorite());
    EXPECT_TRUE(node("in/sub").isFavorite());
    EXPECT_EQ(selected(), (std::set<std::string>{"in/a", "in/b", "in/c"}));
    EXPECT_EQ(node("in").duplicatesSelectionState(), 1);
    EXPECT_EQ(FolderSelection::toggleFolder(node("in"), false), FolderSelection::ToggleOutcome::deselected);
    EXPECT_EQ(node("in").duplicatesSelectionState(), 0);
    EXPECT_EQ(selected(), (std::set<std::string>{"in/c"}));

    // A duplicate folder's checkbox asks first.
    EXPECT_EQ(FolderSelection::toggleFolder(node("T1"), false), FolderSelection::ToggleOutcome::confirmationNeeded);
    EXPECT_FALSE(entry("T1")->isSelected());
    EXPECT_EQ(FolderSelection::toggleFolder(node("T1"), true), FolderSelection::ToggleOutcome::selected);
    EXPECT_TRUE(entry("T1")->isSelected());
    EXPECT_EQ(node("T1").duplicatesSelectionState(), 1);
}

TEST_F(FolderSelectionTest, OneSideOfSimilarFoldersIsSelectedWithForceOnlyWhenEveryCopyMayGo) {
    // out1 and in share a and b: similar folders.
    const auto group = m_scan.container->getHeaps()->buildHeapsGroupForFolderWithPath(m_dir / "out1");
    ASSERT_TRUE(group);
    ASSERT_EQ(SimilarFolderSelection::itemsOfFolder(*group).size(), 2u);
    EXPECT_EQ(SimilarFolderSelection::setFolderSelected(*group, true, false), SimilarFolderSelection::Outcome::changed);
    EXPECT_EQ(selected(), (std::set<std::string>{"out1/a", "out1/b"}));
    EXPECT_EQ(SimilarFolderSelection::rowExplanation(SimilarFolderSelection::itemsOfFolder(*group)), "");

    // "in"'s side of the pair: b's copy there is its last one, and stays.
    const auto pair = group->getSubHeapWithSecondFolder(*group->secondHeapsFoldersData().front());
    ASSERT_TRUE(pair);
    EXPECT_EQ(SimilarFolderSelection::setPairSideSelected(*pair, false, true, false),
              SimilarFolderSelection::Outcome::changed);
    EXPECT_EQ(selected(), (std::set<std::string>{"out1/a", "out1/b", "in/a"}));
    const auto inSide = SimilarFolderSelection::itemsOfPairSide(*pair, false);
    EXPECT_EQ(SimilarFolderSelection::rowExplanation(inSide),
              "Some files in the folder are the last unselected copies of duplicates. If you want to select all "
              "copies change the option in Preferences.");

    // Every copy may go: the last ones are asked about, and a ticked box
    // turns the question off.
    Settings settings = Settings::standard();
    settings.setAllowRemovingAllDuplicateCopies(true);
    EXPECT_EQ(SimilarFolderSelection::rowExplanation(inSide), "");
    EXPECT_EQ(SimilarFolderSelection::setPairSideSelected(*pair, false, true, false),
              SimilarFolderSelection::Outcome::confirmationNeeded);
    const Question question = SimilarFolderSelection::lastCopiesQuestion(*folder("in"));
    EXPECT_EQ(question.title, "Attention");
    EXPECT_EQ(question.text, "You are selecting the last copies of duplicates in the folder \"in\" including the "
                             "original ones.");
    EXPECT_EQ(question.suppressionTitle, "Do not show this message again");
    SimilarFolderSelection::rememberAnswer({question.yesButton, true});
    EXPECT_FALSE(settings.showRemoveLastInHeapsMessage());
    EXPECT_EQ(SimilarFolderSelection::setPairSideSelected(*pair, false, true, false),
              SimilarFolderSelection::Outcome::changed);
    EXPECT_TRUE(entry("in/b")->getGroup()->isAllItemsSelected());

    EXPECT_EQ(SimilarFolderSelection::setFolderSelected(*group, false, false), SimilarFolderSelection::Outcome::changed);
    EXPECT_EQ(selected(), (std::set<std::string>{"in/a", "in/b"}));
}

}  // namespace
}  // namespace kestrane
