#include "duplicates/GroupSelection.h"

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
    FileSystemItem* deep = tree.file("A/sub/2.txt", "22");
    FileSystemItem* deepInB = tree.file("B/sub/2.txt", "22");
    container->addGroupWithItems({deep, deepInB});
    tree.calculateSizes();
    const auto files = container->addGroupWithItems({inFolder, b, c});
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    ASSERT_EQ(entryOf(inFolder)->getAssociatedDuplicateFolder(), entryOf(tree.folder("A")));

    // Not selectable, even with force, while its folder is not selected.
    EXPECT_FALSE(files->selectItemForced(entryOf(inFolder), true));
    EXPECT_FALSE(entryOf(inFolder)->isSelected());

    // Selecting the folder selects everything below it, in one announcement;
    // alone a copy inside cannot be deselected.
    NotificationCounter notifications;
    ASSERT_TRUE(folders->selectItemForced(entryOf(tree.folder("A")), false));
    EXPECT_EQ(notifications.count, 1);
    EXPECT_TRUE(entryOf(inFolder)->isSelected());
    EXPECT_TRUE(entryOf(deep)->isSelected());
    EXPECT_FALSE(entryOf(deepInB)->isSelected());
    entryOf(inFolder)->deselectItem();
    EXPECT_TRUE(entryOf(inFolder)->isSelected());

    // The copies in the folder are left out of sizes and actual counts, but the
    // last-copy rule counts them.
    EXPECT_EQ(files->getSelectedSize(), 0u);
    EXPECT_EQ(files->getActualSelectedCount(), 0u);
    EXPECT_EQ(files->getSelectedCountWithDuplicatesFolderContent(), 1u);
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getSelectedCountWithDuplicatesFolderContent(), 1);
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getCountOfActualSelectedItems(), 0);
    EXPECT_TRUE(files->selectItemForced(entryOf(b), false));
    EXPECT_FALSE(files->selectItemForced(entryOf(c), false));
    EXPECT_EQ(files->getSelectedSize(), 5u);
    EXPECT_EQ(files->getCategory()->getTotalSelectedSize(), 5);
    EXPECT_EQ(files->getCategory()->getSelectedCountWithDuplicatesFolderContent(), 2);

    // Deselecting the folder takes its content along, in one announcement.
    notifications.count = 0;
    folders->deselectAllItems();
    EXPECT_EQ(notifications.count, 1);
    EXPECT_FALSE(entryOf(inFolder)->isSelected());
    EXPECT_FALSE(entryOf(deep)->isSelected());
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
    const auto group = container->addGroupWithItems(
        {tree.file("a/n.txt", "n"), tree.file("b/n.txt", "n"), tree.file("c/n.txt", "n")});
    const auto& items = group->getItems();
    NotificationCounter notifications;

    // Outside a batch every change is announced at once.
    ASSERT_TRUE(group->selectItemForced(items[0], false));
    group->deselectItem(items[0]);
    EXPECT_EQ(notifications.count, 2);

    for (int i = 0; i < 3; ++i) DuplicatesGroup::BeginSelectionGroup();
    EXPECT_EQ(GroupSelection::openSelectionGroups(), 3);
    ASSERT_TRUE(group->selectItemForced(items[0], false));
    ASSERT_TRUE(group->selectItemForced(items[1], false));
    DuplicatesGroup::EndSelectionGroup();
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(notifications.count, 2);
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(notifications.count, 3);

    // Operations that change several copies are one batch each.
    group->deselectAllItems();
    container->deselectAllItems();
    EXPECT_EQ(notifications.count, 5);

    // An unmatched end does not leave the counter below 0.
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(GroupSelection::openSelectionGroups(), 0);
    DuplicatesGroup::BeginSelectionGroup();
    group->selectItemForced(items[2], false);
    EXPECT_EQ(notifications.count, 6);
    DuplicatesGroup::EndSelectionGroup();
    EXPECT_EQ(notifications.count, 7);
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
