#include "selection/GroupSelection.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/ModelTestTree.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <array>

namespace kestrane {
namespace {

using test::entryOf;

class NotificationCounter {
public:
    NotificationCounter()
        : m_observation(platform::NotificationCenter::defaultCenter().addObserver(
              GroupSelection::kDuplicateItemSelectionChangedNotification,
              [this](const platform::Notification&) { ++count; })) {}
    int count = 0;

private:
    std::unique_ptr<platform::NotificationCenter::Observation> m_observation;
};

class RecordingItemListener : public DuplicateItemListener {
public:
    void onItemSelectionChanged(const std::shared_ptr<DuplicateItem>& item) override {
        calls.push_back(item->isSelected());
    }
    std::vector<bool> calls;
};

class GroupSelectionTest : public test::IsolatedHomeTest {
protected:
    test::ModelTestTree tree;
    std::shared_ptr<DuplicatesContainer> container = DuplicatesContainer::create(nullptr, nullptr);
};

TEST_F(GroupSelectionTest, TheLastUnselectedCopyIsSelectedOnlyWithForce) {
    FileSystemItem* a = tree.file("a/k.txt", "kkkk");
    FileSystemItem* b = tree.file("b/k.txt", "kkkk");
    FileSystemItem* other = tree.file("c/other.txt", "o");
    const auto group = container->addGroupWithItems({a, b});
    container->addGroupWithItems({other, tree.file("d/other.txt", "o")});
    const auto category = group->getCategory();
    const auto selected = [&] {
        return std::array<std::int64_t, 3>{category->getTotalSelectedSize(), category->getCountOfActualSelectedItems(),
                                           category->getSelectedCountWithDuplicatesFolderContent()};
    };

    // Either copy may be selected first.
    EXPECT_TRUE(entryOf(b)->selectItemForced(false));
    group->deselectItem(entryOf(b));
    EXPECT_TRUE(group->selectItemForced(entryOf(a), false));
    EXPECT_TRUE(entryOf(a)->isSelected());
    EXPECT_TRUE(group->isOneItemLeftToSelect());
    EXPECT_EQ(group->getSelectedSize(), 4u);
    EXPECT_EQ(selected(), (std::array<std::int64_t, 3>{4, 1, 1}));

    // Not again, not a copy of another group, and not the last one without force.
    EXPECT_FALSE(group->selectItemForced(entryOf(a), true));
    EXPECT_FALSE(group->selectItemForced(entryOf(other), true));
    EXPECT_FALSE(group->selectItemForced(entryOf(b), false));
    EXPECT_FALSE(entryOf(b)->isSelected());
    EXPECT_TRUE(group->selectItemForced(entryOf(b), true));
    EXPECT_TRUE(group->isAllItemsSelected());
    EXPECT_EQ(selected(), (std::array<std::int64_t, 3>{8, 2, 2}));

    group->deselectAllItems();
    EXPECT_TRUE(group->getSelectedItems().empty());
    EXPECT_EQ(selected(), (std::array<std::int64_t, 3>{0, 0, 0}));

    // A copy that leaves the group leaves the selection with it.
    ASSERT_TRUE(group->selectItemForced(entryOf(a), false));
    const auto leaving = entryOf(a);
    group->removeDuplicateItem(leaving);
    EXPECT_FALSE(leaving->isSelected());
    EXPECT_EQ(group->getSelectedSize(), 0u);
    EXPECT_EQ(selected(), (std::array<std::int64_t, 3>{0, 0, 0}));
    EXPECT_FALSE(leaving->selectItemForced(true));
}

TEST_F(GroupSelectionTest, CopiesInsideADuplicateFolderGoWithTheFolder) {
    FileSystemItem* inFolder = tree.file("A/x.txt", "xxxxx");
    tree.file("B/w.txt", "xxxxx");
    FileSystemItem* b = tree.file("b/x.txt", "xxxxx");
    FileSystemItem* c = tree.file("c/x.txt", "xxxxx");
    tree.calculateSizes();
    const auto files = container->addGroupWithItems({inFolder, b, c});
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    ASSERT_EQ(entryOf(inFolder)->getAssociatedDuplicateFolder(), entryOf(tree.folder("A")));

    // Not selectable, even with force, while its folder is not selected.
    EXPECT_FALSE(files->selectItemForced(entryOf(inFolder), true));
    EXPECT_FALSE(entryOf(inFolder)->isSelected());

    // Selecting the folder selects it; alone it cannot be deselected.
    ASSERT_TRUE(folders->selectItemForced(entryOf(tree.folder("A")), false));
    EXPECT_TRUE(entryOf(inFolder)->isSelected());
    entryOf(inFolder)->deselectItem();
    EXPECT_TRUE(entryOf(inFolder)->isSelected());

    // The copy in the folder is left out of sizes and actual counts, but the
    // last-copy rule counts it.
    EXPECT_EQ(files->getSelectedSize(), 0u);
    EXPECT_EQ(files->getActualSelectedCount(), 0u);
    EXPECT_EQ(files->getSelectedCountWithDuplicatesFolderContent(), 1u);
    EXPECT_TRUE(files->selectItemForced(entryOf(b), false));
    EXPECT_FALSE(files->selectItemForced(entryOf(c), false));
    EXPECT_EQ(files->getSelectedSize(), 5u);
    EXPECT_EQ(files->getCategory()->getTotalSelectedSize(), 5);
    EXPECT_EQ(files->getCategory()->getSelectedCountWithDuplicatesFolderContent(), 2);

    // Deselecting the folder takes its content along.
    folders->deselectItem(entryOf(tree.folder("A")));
    EXPECT_FALSE(entryOf(inFolder)->isSelected());
    EXPECT_TRUE(entryOf(b)->isSelected());
    EXPECT_EQ(files->getSelectedCountWithDuplicatesFolderContent(), 1u);
}

TEST_F(GroupSelectionTest, ASelectedCopyThatTurnsOutToBeInADuplicateFolderIsRecounted) {
    FileSystemItem* a = tree.file("A/x.txt", "xxx");
    FileSystemItem* b = tree.file("b/x.txt", "xxx");
    FileSystemItem* c = tree.file("c/x.txt", "xxx");
    tree.file("B/y.txt", "xxx");
    const auto files = container->addGroupWithItems({a, b, c});
    ASSERT_TRUE(files->selectItemForced(entryOf(a), false));
    EXPECT_EQ(files->getSelectedSize(), 3u);

    container->markAsDuplicatesFolderAndFolder(tree.folder("A"), tree.folder("B"));
    // Marking the folders deselected what lay below them.
    EXPECT_FALSE(entryOf(a)->isSelected());
    ASSERT_TRUE(entryOf(tree.folder("A"))->selectItemForced(false));
    EXPECT_TRUE(entryOf(a)->isSelected());
    EXPECT_EQ(files->getSelectedSize(), 0u);
    EXPECT_EQ(files->getCategory()->getTotalSelectedSize(), 0);

    // The folder stops being a duplicate: after the clean-up the copy counts again.
    const auto folders = entryOf(tree.folder("A"))->getGroup();
    folders->removeDuplicateItem(entryOf(tree.folder("B")));
    container->validateEmptyDataAfterRemoveWithListener(nullptr);
    EXPECT_EQ(entryOf(a)->getAssociatedDuplicateFolder(), nullptr);
    EXPECT_TRUE(entryOf(a)->isSelected());
    EXPECT_EQ(files->getSelectedSize(), 3u);
    EXPECT_EQ(files->getActualSelectedCount(), 1u);
    EXPECT_EQ(files->getCategory()->getTotalSelectedSize(), 3);
}

TEST_F(GroupSelectionTest, EachOutermostBatchPostsOneNotification) {
    FileSystemItem* a = tree.file("a/n.txt", "n");
    FileSystemItem* b = tree.file("b/n.txt", "n");
    FileSystemItem* c = tree.file("c/n.txt", "n");
    const auto group = container->addGroupWithItems({a, b, c});
    NotificationCounter notifications;

    // Outside a batch every change is announced at once.
    ASSERT_TRUE(group->selectItemForced(entryOf(a), false));
    EXPECT_EQ(notifications.count, 1);
    group->deselectItem(entryOf(a));
    EXPECT_EQ(notifications.count, 2);

    DuplicatesGroup::BeginSelectionGroup();
    DuplicatesGroup::BeginSelectionGroup();
    DuplicatesGroup::BeginSelectionGroup();
    EXPECT_EQ(GroupSelection::openSelectionGroups(), 3);
    ASSERT_TRUE(group->selectItemForced(entryOf(a), false));
    ASSERT_TRUE(group->selectItemForced(entryOf(b), false));
    DuplicatesGroup::EndSelectionGroup();
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(notifications.count, 2);
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(notifications.count, 3);
    EXPECT_EQ(GroupSelection::openSelectionGroups(), 0);

    // Operations that change several copies are one batch each.
    group->deselectAllItems();
    EXPECT_EQ(notifications.count, 4);
    container->deselectAllItems();
    EXPECT_EQ(notifications.count, 5);

    // An unmatched end does not leave the counter below 0.
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(GroupSelection::openSelectionGroups(), 0);
    EXPECT_EQ(notifications.count, 6);
    DuplicatesGroup::BeginSelectionGroup();
    group->selectItemForced(entryOf(c), false);
    EXPECT_EQ(notifications.count, 6);
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(notifications.count, 7);
}

TEST_F(GroupSelectionTest, SelectingADuplicateFolderIsOneAnnouncement) {
    tree.file("A/1.txt", "1");
    tree.file("A/sub/2.txt", "22");
    tree.file("B/1.txt", "1");
    tree.file("B/sub/2.txt", "22");
    container->addGroupWithItems({tree.folder("A")->childWithName("1.txt"), tree.folder("B")->childWithName("1.txt")});
    container->addGroupWithItems({tree.folder("A/sub")->childWithName("2.txt"),
                                  tree.folder("B/sub")->childWithName("2.txt")});
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    NotificationCounter notifications;

    ASSERT_TRUE(entryOf(tree.folder("A"))->selectItemForced(false));
    EXPECT_EQ(notifications.count, 1);
    EXPECT_TRUE(entryOf(tree.folder("A/sub")->childWithName("2.txt"))->isSelected());
    EXPECT_FALSE(entryOf(tree.folder("B/sub")->childWithName("2.txt"))->isSelected());
    // The hidden groups hold the content of both folders: half of it is selected.
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getSelectedCountWithDuplicatesFolderContent(), 2);
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getCountOfActualSelectedItems(), 0);

    folders->deselectAllItems();
    EXPECT_EQ(notifications.count, 2);
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getSelectedCountWithDuplicatesFolderContent(), 0);
}

TEST_F(GroupSelectionTest, TickingTheLastCopyByHandFollowsTheSettings) {
    FileSystemItem* a = tree.file("a/t.txt", "t");
    FileSystemItem* b = tree.file("b/t.txt", "t");
    const auto group = container->addGroupWithItems({a, b});
    using Outcome = GroupSelection::ManualSelectionOutcome;
    using Place = GroupSelection::ManualSelectionPlace;
    Settings settings = Settings::standard();

    EXPECT_EQ(GroupSelection::toggleItemByUser(entryOf(a), Place::resultLists, false), Outcome::selected);
    // Removing every copy is not allowed by default.
    EXPECT_EQ(GroupSelection::toggleItemByUser(entryOf(b), Place::resultLists, true), Outcome::lastCopyNotAllowed);
    EXPECT_FALSE(entryOf(b)->isSelected());

    settings.setAllowRemovingAllDuplicateCopies(true);
    EXPECT_EQ(GroupSelection::toggleItemByUser(entryOf(b), Place::resultLists, false), Outcome::confirmationNeeded);
    EXPECT_FALSE(entryOf(b)->isSelected());
    EXPECT_EQ(GroupSelection::toggleItemByUser(entryOf(b), Place::resultLists, true), Outcome::selected);
    EXPECT_TRUE(group->isAllItemsSelected());

    // A selected copy is deselected.
    EXPECT_EQ(GroupSelection::toggleItemByUser(entryOf(b), Place::resultLists, false), Outcome::deselected);
    // Each place has its own message setting.
    settings.saveBoolValue(false, Settings::kKeyShowRemoveLastInCategoriesMessage);
    EXPECT_EQ(GroupSelection::toggleItemByUser(entryOf(b), Place::similarFolders, false), Outcome::confirmationNeeded);
    EXPECT_EQ(GroupSelection::toggleItemByUser(entryOf(b), Place::resultLists, false), Outcome::selected);

}

TEST_F(GroupSelectionTest, ItemListenersAreToldOnTheMainQueue) {
    FileSystemItem* a = tree.file("a/l.txt", "l");
    FileSystemItem* b = tree.file("b/l.txt", "l");
    container->addGroupWithItems({a, b});
    const auto listener = std::make_shared<RecordingItemListener>();
    auto gone = std::make_shared<RecordingItemListener>();
    entryOf(a)->addListener(listener);
    entryOf(a)->addListener(gone);
    gone.reset();

    ASSERT_TRUE(entryOf(a)->selectItemForced(false));
    EXPECT_TRUE(listener->calls.empty());
    platform::MainQueue::shared().runPending();
    EXPECT_EQ(listener->calls, std::vector<bool>{true});

    // A refused change is no change.
    entryOf(b)->selectItemForced(false);
    entryOf(a)->deselectItem();
    platform::MainQueue::shared().runPending();
    EXPECT_EQ(listener->calls, (std::vector<bool>{true, false}));

    entryOf(a)->removeListener(listener.get());
    entryOf(a)->selectItemForced(false);
    platform::MainQueue::shared().runPending();
    EXPECT_EQ(listener->calls.size(), 2u);
}

}  // namespace
}  // namespace kestrane
