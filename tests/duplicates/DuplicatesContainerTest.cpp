#include "duplicates/DuplicatesContainer.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/FileCategory.h"
#include "duplicates/HeapsCollection.h"
#include "duplicates/HeapsValidateProgressListener.h"
#include "duplicates/ModelTestTree.h"
#include "platform/NotificationCenter.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kestrane {
namespace {

using test::entryOf;

// A similar-folder registry that keeps what it was told and, when asked to
// recompute, what the container held at that moment.
class RecordingHeaps : public HeapsCollection {
public:
    explicit RecordingHeaps(std::weak_ptr<DuplicatesContainer>* container) : m_container(container) {}

    void addGroup(const std::shared_ptr<DuplicatesGroup>& group) override {
        registered.insert(group->getGroupID());
        log.push_back("add " + std::to_string(group->getGroupID()));
    }
    void removeGroup(const std::shared_ptr<DuplicatesGroup>& group) override {
        registered.erase(group->getGroupID());
        log.push_back("remove " + std::to_string(group->getGroupID()));
    }
    void validateEmptyDataAfterRemoveWithListener(
        const std::shared_ptr<HeapsValidateProgressListener>& listener) override {
        ++validations;
        lastListener = listener;
        groupsSeenAtValidation.clear();
        if (const auto container = m_container->lock())
            for (const auto& group : container->getAllFilesGroups()) groupsSeenAtValidation.insert(group->getGroupID());
    }
    std::uint64_t getPossibleHeapsSize() const override { return 0; }

    std::set<std::uint64_t> registered;
    std::vector<std::string> log;
    int validations = 0;
    std::shared_ptr<HeapsValidateProgressListener> lastListener;
    std::set<std::uint64_t> groupsSeenAtValidation;

private:
    std::weak_ptr<DuplicatesContainer>* m_container;
};

class NoProgress : public HeapsValidateProgressListener {
public:
    bool isHeapsValidationCanceled() override { return false; }
    void onHeapsCheckedFolders(std::uint64_t) override {}
    void onHeapsSizeChangedWithProgress(std::uint64_t, float) override {}
};

// Counts the notifications of one name posted while it lives.
class NotificationCounter {
public:
    explicit NotificationCounter(const char* name)
        : m_observation(platform::NotificationCenter::defaultCenter().addObserver(
              name, [this](const platform::Notification&) { ++count; })) {}
    int count = 0;

private:
    std::unique_ptr<platform::NotificationCenter::Observation> m_observation;
};

std::set<std::uint64_t> idsOf(const std::vector<std::shared_ptr<DuplicatesGroup>>& groups) {
    std::set<std::uint64_t> ids;
    for (const auto& group : groups) ids.insert(group->getGroupID());
    return ids;
}

class DuplicatesContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        heaps = std::make_shared<RecordingHeaps>(&weakContainer);
        container = DuplicatesContainer::create(heaps, nullptr);
        weakContainer = container;
        container->saveRoots({tree.rootPtr()});
    }

    std::int32_t textCategory() const { return typeOfFileAtPath("x.txt"); }

    test::ModelTestTree tree;
    std::weak_ptr<DuplicatesContainer> weakContainer;
    std::shared_ptr<RecordingHeaps> heaps;
    std::shared_ptr<DuplicatesContainer> container;
};

TEST_F(DuplicatesContainerTest, CategoriesByNumber) {
    EXPECT_EQ(container->getCategoryWithType(-1), nullptr);
    EXPECT_EQ(container->getCategoryWithType(7), nullptr);
    for (std::int32_t type = 0; type < kFileCategoryCount; ++type) {
        ASSERT_NE(container->getCategoryWithType(type), nullptr);
        EXPECT_EQ(container->getCategoryWithType(type)->getType(), type);
        EXPECT_EQ(container->getCategoryWithType(type)->getContainer(), container);
    }
    const auto categories = container->getCategories();
    ASSERT_EQ(categories.size(), 8u);
    EXPECT_EQ(categories.back(), container->getHiddenCategoryOfDuplicates());
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getType(), -1);
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getContainer(), nullptr);
    EXPECT_EQ(container->getSmallDuplicatesCategory()->getType(), -1);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), container->getSmallDuplicatesCategory()), 0);
    EXPECT_EQ(container->getHeaps(), heaps);
    EXPECT_EQ(DuplicatesContainer::create(nullptr, nullptr)->getHeaps(), nullptr);

    // The category of a group: folders in 6 (a package by its name), files by their name.
    tree.file("A/f", "1");
    tree.file("B/f", "1");
    tree.folder("One.app", true);
    tree.folder("Two.app", true);
    EXPECT_EQ(container->addGroupWithItems({tree.folder("A"), tree.folder("B")})->getCategory()->getType(),
              kFileCategoryFolders);
    EXPECT_EQ(container->addGroupWithItems({tree.folder("One.app"), tree.folder("Two.app")})->getCategory()->getType(),
              typeOfFileAtPath("One.app"));
    EXPECT_EQ(container->addGroupWithItems({tree.file("only.txt", "1")}), nullptr);
}

TEST_F(DuplicatesContainerTest, OverlappingGroupsAreMergedIntoOne) {
    FileSystemItem* a = tree.file("a/n.txt", "nnn");
    FileSystemItem* b = tree.file("b/n.txt", "nnn");
    FileSystemItem* c = tree.file("c/n.txt", "nnn");
    const auto first = container->addGroupWithItems({a, b});
    ASSERT_TRUE(first->selectItemForced(entryOf(a), false));

    const auto merged = container->addGroupWithItems({b, c});
    ASSERT_NE(merged, nullptr);
    EXPECT_NE(merged, first);
    EXPECT_EQ(merged->getFileSystemItems(), (std::vector<FileSystemItem*>{b, c, a}));
    EXPECT_EQ(first->getCategory(), nullptr);
    EXPECT_EQ(first->getTotalCount(), 0u);
    const auto category = container->getCategoryWithType(textCategory());
    EXPECT_EQ(category->getGroups(), (std::vector<std::shared_ptr<DuplicatesGroup>>{merged}));
    EXPECT_EQ(category->getTotalCount(), 3);
    EXPECT_EQ(category->getTotalSize(), 9);
    EXPECT_EQ(container->getAllFilesGroups(), (std::vector<std::shared_ptr<DuplicatesGroup>>{merged}));
    // The new group starts with nothing selected.
    EXPECT_EQ(category->getCountOfActualSelectedItems(), 0);
    EXPECT_FALSE(entryOf(a)->isSelected());
    // The registry saw the old group go and the new one come.
    EXPECT_EQ(heaps->registered, (std::set<std::uint64_t>{merged->getGroupID()}));
}

TEST_F(DuplicatesContainerTest, GroupsWhollyInsideDuplicateFoldersAreHiddenAndComeBack) {
    FileSystemItem* ax = tree.file("A/x.txt", "xxxx");
    FileSystemItem* bx = tree.file("B/x.txt", "xxxx");
    FileSystemItem* ay = tree.file("A/y.txt", "yy");
    FileSystemItem* by = tree.file("B/y.txt", "yy");
    const auto xGroup = container->addGroupWithItems({ax, bx});
    container->addGroupWithItems({ay, by});
    const auto text = container->getCategoryWithType(textCategory());
    EXPECT_EQ(text->getTotalCount(), 4);
    EXPECT_EQ(text->getTotalSize(), 12);

    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    ASSERT_NE(folders, nullptr);
    // Both file groups went to the hidden category and out of the totals.
    EXPECT_EQ(xGroup->getCategory(), nullptr);
    EXPECT_EQ(text->getGroupsCount(), 0u);
    EXPECT_EQ(text->getTotalCount(), 0);
    EXPECT_EQ(text->getTotalSize(), 0);
    const auto hidden = container->getHiddenCategoryOfDuplicates();
    ASSERT_EQ(hidden->getGroupsCount(), 2u);
    EXPECT_EQ(entryOf(ax)->getGroup()->getCategory(), hidden);
    EXPECT_TRUE(entryOf(ax)->getGroup()->isFullyInDuplicatesFolders());
    EXPECT_EQ(container->getAllFilesGroups(), (std::vector<std::shared_ptr<DuplicatesGroup>>{folders}));
    EXPECT_EQ(heaps->registered, (std::set<std::uint64_t>{folders->getGroupID()}));

    // A copy added later inside the duplicate folders goes straight to the hidden category.
    FileSystemItem* az = tree.file("A/z.txt", "z");
    FileSystemItem* bz = tree.file("B/z.txt", "z");
    const auto zGroup = container->addGroupWithItems({az, bz});
    ASSERT_NE(zGroup, nullptr);
    EXPECT_EQ(zGroup->getCategory(), hidden);
    EXPECT_EQ(text->getGroupsCount(), 0u);

    // A is no duplicate folder any more: after the clean-up the file groups are back, as new groups.
    const auto hiddenIds = idsOf(hidden->getGroups());
    // Someone (a screen) still holds the folders' entries: once out of their
    // group they must not count as duplicate folders.
    const auto heldA = entryOf(tree.folder("A"));
    const auto heldB = entryOf(tree.folder("B"));
    folders->removeDuplicateItem(heldA);
    container->validateEmptyDataAfterRemoveWithListener(nullptr);
    EXPECT_EQ(folders->getCategory(), nullptr);
    EXPECT_EQ(tree.folder("B")->getDuplicateItem(), nullptr);
    EXPECT_EQ(hidden->getGroupsCount(), 0u);
    ASSERT_EQ(text->getGroupsCount(), 3u);
    for (const auto& group : text->getGroups()) {
        EXPECT_FALSE(hiddenIds.contains(group->getGroupID()));
        EXPECT_EQ(group->getItemsCountInDuplicatesFolders(), 0u);
    }
    EXPECT_EQ(text->getTotalCount(), 6);
    EXPECT_EQ(text->getTotalSize(), 14);
    EXPECT_EQ(text->getSizeThatCanBeRemoved(), 7);
    EXPECT_EQ(entryOf(ax)->getGroup()->getCountOfDuplicatesThatCanBeRemoved(), 1u);
    EXPECT_EQ(entryOf(ax)->getAssociatedDuplicateFolder(), nullptr);
    EXPECT_EQ(idsOf(container->getAllFilesGroups()), idsOf(text->getGroups()));
    EXPECT_EQ(heaps->registered, idsOf(text->getGroups()));
}

TEST_F(DuplicatesContainerTest, RemovedCopiesLeaveTheTreeAndGroupsBelowTwoCopiesAreDropped) {
    FileSystemItem* a = tree.file("a/r.txt", "0123456789");
    FileSystemItem* b = tree.file("b/r.txt", "0123456789");
    FileSystemItem* c = tree.file("c/r.txt", "0123456789");
    tree.file("b/keep.txt", "k");
    tree.calculateSizes();
    const std::int64_t rootSize = tree.root().gettotalsize();
    const std::int64_t removedSize = a->gettotalsize() + b->gettotalsize();
    const auto group = container->addGroupWithItems({a, b, c});
    const auto text = group->getCategory();

    NotificationCounter changed(DuplicatesContainer::kDuplicatesContainerDataChangedNotification);
    container->removeDuplicateItemsFromLogicalStructure({entryOf(a), entryOf(b)});
    EXPECT_EQ(group->getTotalCount(), 1u);
    EXPECT_EQ(text->getGroupsCount(), 1u);
    EXPECT_EQ(text->getTotalCount(), 1);
    EXPECT_EQ(tree.folder("a")->numberOfChildren(), 0u);
    EXPECT_EQ(tree.folder("b")->numberOfChildren(), 1u);
    EXPECT_EQ(tree.root().gettotalsize(), rootSize - removedSize);
    EXPECT_EQ(changed.count, 0);

    const auto progress = std::make_shared<NoProgress>();
    container->validateEmptyDataAfterRemoveWithListener(progress);
    EXPECT_EQ(text->getGroupsCount(), 0u);
    EXPECT_EQ(text->getTotalCount(), 0);
    EXPECT_EQ(group->getCategory(), nullptr);
    EXPECT_EQ(c->getDuplicateItem(), nullptr);
    EXPECT_TRUE(container->getAllFilesGroups().empty());
    EXPECT_TRUE(heaps->registered.empty());
    EXPECT_EQ(heaps->validations, 1);
    EXPECT_EQ(heaps->lastListener, progress);
    EXPECT_EQ(changed.count, 1);
}

TEST_F(DuplicatesContainerTest, RemovingAFolderTakesTheCopiesBelowItWithIt) {
    FileSystemItem* ax = tree.file("A/sub/x.txt", "xx");
    FileSystemItem* bx = tree.file("B/sub/x.txt", "xx");
    FileSystemItem* cx = tree.file("C/x.txt", "xx");
    FileSystemItem* listedBelow = tree.file("A/sub/y.txt", "y");
    FileSystemItem* other = tree.file("other/y.txt", "y");
    tree.file("B/sub/y.txt", "y");
    const auto files = container->addGroupWithItems({ax, bx, cx});
    const auto ys = container->addGroupWithItems({listedBelow, other});
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    ASSERT_EQ(entryOf(ax)->getAssociatedDuplicateFolder(), entryOf(tree.folder("A")));

    // The folder and a copy below it are both listed: the copy goes with the folder.
    container->removeDuplicateItemsFromLogicalStructure({entryOf(tree.folder("A")), entryOf(listedBelow)});
    EXPECT_EQ(tree.root().childWithName("A"), nullptr);
    EXPECT_EQ(files->getTotalCount(), 2u);
    EXPECT_EQ(ys->getTotalCount(), 1u);
    EXPECT_EQ(folders->getTotalCount(), 1u);
    EXPECT_EQ(entryOf(other)->getGroup(), ys);

    container->validateEmptyDataAfterRemoveWithListener(nullptr);
    EXPECT_EQ(folders->getCategory(), nullptr);
    EXPECT_EQ(ys->getCategory(), nullptr);
    // B is no duplicate folder any more, so its copy counts as an ordinary one again.
    const auto xGroup = entryOf(bx)->getGroup();
    ASSERT_NE(xGroup, nullptr);
    EXPECT_EQ(xGroup->getTotalCount(), 2u);
    EXPECT_EQ(xGroup->getItemsCountInDuplicatesFolders(), 0u);
    EXPECT_EQ(xGroup->getTotalSize(), 4u);
    EXPECT_EQ(xGroup->getSizeThatCanBeRemoved(), 2u);
    EXPECT_EQ(entryOf(cx)->getGroup(), xGroup);
}

TEST_F(DuplicatesContainerTest, RemovingItemsWithoutResizingTheirFolders) {
    FileSystemItem* a = tree.file("a/r.txt", "0123456789");
    FileSystemItem* b = tree.file("b/r.txt", "0123456789");
    FileSystemItem* c = tree.file("c/r.txt", "0123456789");
    tree.calculateSizes();
    const std::int64_t rootSize = tree.root().gettotalsize();
    const auto group = container->addGroupWithItems({a, b, c});
    container->removeDuplicateItemsFromLogicalStructureWithRecalculateParent({tree.folder("a"), c}, false);
    EXPECT_EQ(tree.root().childWithName("a"), nullptr);
    EXPECT_EQ(tree.folder("c")->numberOfChildren(), 0u);
    EXPECT_EQ(tree.root().gettotalsize(), rootSize);
    EXPECT_EQ(group->getFileSystemItems(), (std::vector<FileSystemItem*>{b}));
}

TEST_F(DuplicatesContainerTest, FindsItemsOfTheRootsByPath) {
    auto second = VolumeSystemItem::create(tree.path() + "/two", 0, 0);
    FolderSystemItem* sub = FolderSystemItem::createInParent("sub", *second, false, false);
    FileSystemItem* file = FileSystemItem::createInParent("f.txt", *sub, 0, false, 0);
    auto third = VolumeSystemItem::create(tree.path() + "/twofold", 0, 0);
    container->saveRoots({second, third, tree.rootPtr()});
    EXPECT_EQ(container->buildRootFolders().size(), 3u);

    // The root that contains the path is walked down to the item.
    EXPECT_EQ(container->findSystemItemWithPath(tree.path() + "/two/sub/f.txt"), (std::vector<FileSystemItem*>{file}));
    EXPECT_EQ(container->findExistedSystemItemWithPath(tree.path() + "/two/sub/"), sub);
    // The first root that contains the path ends the search, found or not.
    EXPECT_TRUE(container->findSystemItemWithPath(tree.path() + "/two/missing").empty());
    // Roots inside the path are all found; "twofold" is not inside "two".
    EXPECT_EQ(container->findSystemItemWithPath(tree.path() + "/two"),
              (std::vector<FileSystemItem*>{second.get()}));
    const auto inside = container->findSystemItemWithPath(tree.path());
    EXPECT_EQ(inside, (std::vector<FileSystemItem*>{second.get(), third.get(), &tree.root()}));
    EXPECT_EQ(container->findExistedSystemItemWithPath(tree.path()), nullptr);
    EXPECT_TRUE(container->findSystemItemWithPath("/nowhere/else").empty());
}

TEST_F(DuplicatesContainerTest, MarkingFoldersAsDuplicatesOfEachOther) {
    tree.file("A/x.txt", "1");
    tree.file("B/x.txt", "1");
    tree.file("C/x.txt", "1");
    FileSystemItem* outside = tree.file("D/x.txt", "1");
    FolderSystemItem* A = tree.folder("A");
    FolderSystemItem* B = tree.folder("B");
    FolderSystemItem* C = tree.folder("C");
    const auto files = container->addGroupWithItems(
        {A->childWithName("x.txt"), B->childWithName("x.txt"), C->childWithName("x.txt"), outside});
    ASSERT_TRUE(files->selectItemForced(entryOf(B->childWithName("x.txt")), false));
    ASSERT_TRUE(files->selectItemForced(entryOf(outside), false));

    container->markAsDuplicatesFolderAndFolder(A, B);
    const auto folders = entryOf(A)->getGroup();
    ASSERT_NE(folders, nullptr);
    EXPECT_TRUE(folders->isFolderGroup());
    EXPECT_EQ(entryOf(B)->getGroup(), folders);
    // What was selected below the folders is deselected first; the rest stays.
    EXPECT_FALSE(entryOf(B->childWithName("x.txt"))->isSelected());
    EXPECT_TRUE(entryOf(outside)->isSelected());

    // A third folder joins the group of the one already in a group.
    container->markAsDuplicatesFolderAndFolder(C, A);
    EXPECT_EQ(entryOf(C)->getGroup(), folders);
    EXPECT_EQ(folders->getTotalCount(), 3u);
    EXPECT_EQ(files->getItemsCountInDuplicatesFolders(), 3u);
    EXPECT_EQ(files->getCountOfDuplicatesThatCanBeRemoved(), 1u);

    // Two folders that each have a group: the groups become one.
    tree.file("E/x.txt", "1");
    tree.file("F/x.txt", "1");
    container->markAsDuplicatesFolderAndFolder(tree.folder("E"), tree.folder("F"));
    container->markAsDuplicatesFolderAndFolder(tree.folder("E"), A);
    EXPECT_EQ(entryOf(tree.folder("E"))->getGroup(), entryOf(A)->getGroup());
    EXPECT_EQ(entryOf(A)->getGroup()->getTotalCount(), 5u);
    EXPECT_EQ(container->getCategoryWithType(kFileCategoryFolders)->getGroupsCount(), 1u);
}

TEST_F(DuplicatesContainerTest, TheRemovalListHoldsSelectedFoldersInsteadOfTheirContent) {
    FileSystemItem* ax = tree.file("A/x.txt", "xxx");
    FileSystemItem* bx = tree.file("B/x.txt", "xxx");
    FileSystemItem* cx = tree.file("C/x.txt", "xxx");
    FileSystemItem* p = tree.file("p/q.txt", "qq");
    FileSystemItem* q = tree.file("r/q.txt", "qq");
    tree.calculateSizes();
    const auto files = container->addGroupWithItems({ax, bx, cx});
    const auto qs = container->addGroupWithItems({p, q});
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});

    ASSERT_TRUE(folders->selectItemForced(entryOf(tree.folder("A")), false));
    EXPECT_TRUE(entryOf(ax)->isSelected());
    ASSERT_TRUE(qs->selectItemForced(entryOf(q), false));

    EXPECT_EQ(container->buildRemoveList(),
              (std::vector<std::shared_ptr<DuplicateItem>>{entryOf(q), entryOf(tree.folder("A"))}));
    EXPECT_EQ(container->buildRemoveListWithFolders(false), (std::vector<std::shared_ptr<DuplicateItem>>{entryOf(q)}));
    EXPECT_EQ(container->getItemsCountInRemoveList(), 2);
    EXPECT_EQ(container->getRemoveListTotalSize(), 2 + tree.folder("A")->logicalSize());
    EXPECT_EQ(files->getSelectedCountWithDuplicatesFolderContent(), 1u);
    EXPECT_EQ(files->getActualSelectedCount(), 0u);

    // Restoring a list: everything else is deselected, the listed copies are selected.
    const auto saved = container->buildRemoveList();
    container->deselectAllItems();
    EXPECT_TRUE(container->buildRemoveList().empty());
    EXPECT_FALSE(entryOf(ax)->isSelected());
    ASSERT_TRUE(files->selectItemForced(entryOf(cx), false));
    container->restoreRemoveListTo(saved);
    EXPECT_EQ(container->buildRemoveList(), saved);
    EXPECT_FALSE(entryOf(cx)->isSelected());
    EXPECT_TRUE(entryOf(ax)->isSelected());

    // Deselecting inside a folder reaches the folders and files below it.
    container->deselectItemsInFolders({&tree.root()});
    EXPECT_TRUE(container->buildRemoveList().empty());
    EXPECT_EQ(files->getSelectedCountWithDuplicatesFolderContent(), 0u);
}

class DuplicatesContainerSettingsTest : public test::IsolatedHomeTest {};

TEST_F(DuplicatesContainerSettingsTest, RestoringDefaultsDeselectsGroupsWhoseEveryCopyIsSelected) {
    test::ModelTestTree tree;
    auto container = DuplicatesContainer::create(nullptr, nullptr);
    FileSystemItem* a = tree.file("a/f.txt", "f");
    FileSystemItem* b = tree.file("b/f.txt", "f");
    FileSystemItem* c = tree.file("a/g.txt", "gg");
    FileSystemItem* d = tree.file("b/g.txt", "gg");
    FileSystemItem* e = tree.file("c/g.txt", "gg");
    const auto full = container->addGroupWithItems({a, b});
    const auto partial = container->addGroupWithItems({c, d, e});
    ASSERT_TRUE(full->selectItemForced(entryOf(a), true));
    ASSERT_TRUE(full->selectItemForced(entryOf(b), true));
    ASSERT_TRUE(partial->selectItemForced(entryOf(c), false));
    ASSERT_TRUE(partial->selectItemForced(entryOf(d), false));

    Settings settings = Settings::standard();
    settings.setAllowRemovingAllDuplicateCopies(true);
    Settings::setFullySelectedGroupsDeselector(container);
    settings.restoreDefaultsForAllSettings();
    Settings::setFullySelectedGroupsDeselector({});

    EXPECT_FALSE(Settings::standard().allowRemovingAllDuplicateCopies());
    EXPECT_TRUE(full->getSelectedItems().empty());
    EXPECT_EQ(partial->getSelectedItems(), (std::vector<std::shared_ptr<DuplicateItem>>{entryOf(c), entryOf(d)}));

    // Without a registered holder nothing is deselected.
    ASSERT_TRUE(full->selectItemForced(entryOf(a), true));
    ASSERT_TRUE(full->selectItemForced(entryOf(b), true));
    Settings::standard().restoreDefaultsForAllSettings();
    EXPECT_EQ(full->getSelectedCountWithDuplicatesFolderContent(), 2u);
}

TEST(DuplicatesContainerLifetimeTest, TreesAndResultsMayGoInEitherOrder) {
    // The result goes first: the items are unlinked.
    {
        test::ModelTestTree tree;
        FileSystemItem* a = tree.file("a/f", "1");
        FileSystemItem* b = tree.file("b/f", "1");
        std::shared_ptr<DuplicateItem> kept;
        {
            auto container = DuplicatesContainer::create(nullptr, nullptr);
            container->addGroupWithItems({a, b});
            kept = entryOf(a);
            ASSERT_NE(kept, nullptr);
        }
        EXPECT_EQ(a->getDuplicateItem(), nullptr);
        EXPECT_EQ(kept->getFileSystemItem(), nullptr);
        EXPECT_EQ(kept->getGroup(), nullptr);
    }
    // The tree goes first (the roots were never saved): the entries forget their items.
    {
        auto container = DuplicatesContainer::create(nullptr, nullptr);
        std::shared_ptr<DuplicatesGroup> group;
        {
            test::ModelTestTree tree;
            group = container->addGroupWithItems({tree.file("a/f", "1"), tree.file("b/f", "1")});
        }
        for (const auto& item : group->getItems()) EXPECT_EQ(item->getFileSystemItem(), nullptr);
        container->removeDuplicatesGroupsThatFullyInDuplicatesFoldersOrReturnItBack();
    }
}

}  // namespace
}  // namespace kestrane
