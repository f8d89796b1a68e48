#include "selection/FolderSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupSelection.h"
#include "folders/InternalDuplicatesByGroupSeparator.h"
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
    EXPECT_FALSE(FolderSelection::needsDuplicateFolderConfirmation(*folder("T1")));
    EXPECT_EQ(m_scan.container->buildRemoveList().size(), 1u) << "the folder stands for its files";
}

}  // namespace
}  // namespace kestrane
