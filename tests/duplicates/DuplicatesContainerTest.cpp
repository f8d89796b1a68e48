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
#include <array>
#include <set>

namespace kestrane {
namespace {

using test::entryOf;

using Groups = std::vector<std::shared_ptr<DuplicatesGroup>>;
using Ids = std::set<std::uint64_t>;

// A similar-folder registry that keeps the groups it was told of.
class RecordingHeaps : public HeapsCollection {
public:
    void addGroup(const std::shared_ptr<DuplicatesGroup>& group) override { registered.insert(group->getGroupID()); }
    void removeGroup(const std::shared_ptr<DuplicatesGroup>& group) override {
        registered.erase(group->getGroupID());
    }
    void validateEmptyDataAfterRemoveWithListener(
        const std::shared_ptr<HeapsValidateProgressListener>& listener) override {
        ++validations;
        lastListener = listener;
    }
    std::uint64_t getPossibleHeapsSize() const override { return 0; }
    Heaps biggestHeaps(std::size_t) const override { return {}; }
    Heaps biggestEasyForRemoveHeaps(std::size_t) const override { return {}; }
    void forEachPairLargestFirst(const PairVisitor&) const override {}
    std::uint64_t getCountOfPairs() const override { return 0; }
    std::uint64_t getCountOfLeftOutPairs() const override { return 0; }
    std::uint64_t getMaximalPairCount() const override { return 0; }
    std::shared_ptr<HeapsGroup> buildHeapsGroupForFolderWithPath(const std::string&) const override { return nullptr; }

    Ids registered;
    int validations = 0;
    std::shared_ptr<HeapsValidateProgressListener> lastListener;
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

Ids idsOf(const Groups& groups) {
    Ids ids;
    for (const auto& group : groups) ids.insert(group->getGroupID());
    return ids;
}

// A category's figures: groups, copies, size, size that can go.
std::array<std::int64_t, 4> figuresOf(const DuplicatesCategory& category) {
    return {static_cast<std::int64_t>(category.getGroupsCount()), category.getTotalCount(), category.getTotalSize(),
            category.getSizeThatCanBeRemoved()};
}

class DuplicatesContainerTest : public ::testing::Test {
protected:
    void SetUp() override { container->saveRoots({tree.rootPtr()}); }

    test::ModelTestTree tree;
    std::shared_ptr<RecordingHeaps> heaps = std::make_shared<RecordingHeaps>();
    std::shared_ptr<DuplicatesContainer> container = DuplicatesContainer::create(heaps, nullptr);
    std::shared_ptr<DuplicatesCategory> text = container->getCategoryWithType(typeOfFileAtPath("x.txt"));
};

TEST_F(DuplicatesContainerTest, CategoriesAndTheCategoryOfAGroup) {
    EXPECT_EQ(container->getCategoryWithType(std::nullopt), nullptr);
    const auto categories = container->getCategories();
    ASSERT_EQ(categories.size(), kFileCategoryCount + 1);
    for (const FileCategory type : kAllFileCategories) {
        EXPECT_EQ(categories[indexOfFileCategory(type)], container->getCategoryWithType(type));
        EXPECT_EQ(container->getCategoryWithType(type)->getType(), type);
    }
    // The hidden category comes last; the small-duplicates one is not listed.
    EXPECT_EQ(categories.back(), container->getHiddenCategoryOfDuplicates());
    EXPECT_EQ(container->getHiddenCategoryOfDuplicates()->getType(), std::nullopt);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), container->getSmallDuplicatesCategory()), 0);

    // Folders go to the folders category, a package by its name, files by their name; one copy is no group.
    tree.file("A/f", "1");
    tree.file("B/f", "1");
    tree.folder("One.app", true);
    tree.folder("Two.app", true);
    EXPECT_EQ(container->addGroupWithItems({tree.folder("A"), tree.folder("B")})->getCategory()->getType(),
              FileCategory::folders);
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
    ASSERT_NE(merged, first);
    EXPECT_EQ(merged->getFileSystemItems(), (std::vector<FileSystemItem*>{b, c, a}));
    EXPECT_EQ(first->getCategory(), nullptr);
    EXPECT_EQ(first->getTotalCount(), 0u);
    EXPECT_EQ(text->getGroups(), Groups{merged});
    EXPECT_EQ(figuresOf(*text), (std::array<std::int64_t, 4>{1, 3, 9, 6}));
    EXPECT_EQ(container->getAllFilesGroups(), Groups{merged});
    // The new group starts with nothing selected; the registry saw the old group go and the new one come.
    EXPECT_FALSE(entryOf(a)->isSelected());
    EXPECT_EQ(text->getCountOfActualSelectedItems(), 0);
    EXPECT_EQ(heaps->registered, Ids{merged->getGroupID()});
}

TEST_F(DuplicatesContainerTest, GroupsWhollyInsideDuplicateFoldersAreHiddenAndComeBack) {
    FileSystemItem* ax = tree.file("A/x.txt", "xxxx");
    const auto xGroup = container->addGroupWithItems({ax, tree.file("B/x.txt", "xxxx")});
    container->addGroupWithItems({tree.file("A/y.txt", "yy"), tree.file("B/y.txt", "yy")});
    EXPECT_EQ(figuresOf(*text), (std::array<std::int64_t, 4>{2, 4, 12, 6}));

    // Both file groups go to the hidden category and out of the totals.
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});
    ASSERT_NE(folders, nullptr);
    EXPECT_EQ(xGroup->getCategory(), nullptr);
    EXPECT_EQ(figuresOf(*text), (std::array<std::int64_t, 4>{0, 0, 0, 0}));
    const auto hidden = container->getHiddenCategoryOfDuplicates();
    ASSERT_EQ(hidden->getGroupsCount(), 2u);
    EXPECT_EQ(entryOf(ax)->getGroup()->getCategory(), hidden);
    EXPECT_TRUE(entryOf(ax)->getGroup()->isFullyInDuplicatesFolders());
    EXPECT_EQ(container->getAllFilesGroups(), Groups{folders});
    EXPECT_EQ(heaps->registered, Ids{folders->getGroupID()});

    // A copy added later inside the duplicate folders goes straight to the hidden category.
    EXPECT_EQ(container->addGroupWithItems({tree.file("A/z.txt", "z"), tree.file("B/z.txt", "z")})->getCategory(),
              hidden);
    EXPECT_EQ(text->getGroupsCount(), 0u);

    // A is no duplicate folder any more: after the clean-up the file groups are back, as new groups.
    const Ids hiddenIds = idsOf(hidden->getGroups());
    // Someone (a screen) still holds the folders' entries: once out of their
    // group they must not count as duplicate folders.
    const auto heldA = entryOf(tree.folder("A"));
    const auto heldB = entryOf(tree.folder("B"));
    folders->removeDuplicateItem(heldA);
    container->validateEmptyDataAfterRemoveWithListener(nullptr);
    EXPECT_EQ(folders->getCategory(), nullptr);
    EXPECT_EQ(tree.folder("B")->getDuplicateItem(), nullptr);
    EXPECT_EQ(hidden->getGroupsCount(), 0u);
    EXPECT_EQ(figuresOf(*text), (std::array<std::int64_t, 4>{3, 6, 14, 7}));
    for (const auto& group : text->getGroups()) {
        EXPECT_FALSE(hiddenIds.contains(group->getGroupID()));
        EXPECT_EQ(group->getItemsCountInDuplicatesFolders(), 0u);
    }
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
    const std::int64_t rootSize = tree.root().allocatedSize();
    const std::int64_t removedSize = a->allocatedSize() + b->allocatedSize();
    const auto group = container->addGroupWithItems({a, b, c});

    NotificationCounter changed(DuplicatesContainer::kDuplicatesContainerDataChangedNotification);
    container->removeEntries({entryOf(a), entryOf(b)});
    EXPECT_EQ(group->getTotalCount(), 1u);
    EXPECT_EQ(figuresOf(*text), (std::array<std::int64_t, 4>{1, 1, 10, 0}));
    EXPECT_EQ(tree.folder("a")->numberOfChildren(), 0u);
    EXPECT_EQ(tree.folder("b")->numberOfChildren(), 1u);
    EXPECT_EQ(tree.root().allocatedSize(), rootSize - removedSize);
    EXPECT_EQ(changed.count, 0);

    // The clean-up drops the group of one copy, runs the heaps' own and tells once.
    const auto progress = std::make_shared<NoProgress>();
    container->validateEmptyDataAfterRemoveWithListener(progress);
    EXPECT_EQ(figuresOf(*text), (std::array<std::int64_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(group->getCategory(), nullptr);
    EXPECT_EQ(c->getDuplicateItem(), nullptr);
    EXPECT_TRUE(container->getAllFilesGroups().empty());
    EXPECT_TRUE(heaps->registered.empty());
    EXPECT_EQ(heaps->validations, 1);
    EXPECT_EQ(heaps->lastListener, progress);
    EXPECT_EQ(changed.count, 1);

    // Removing without resizing the folders leaves their sizes as they were.
    FileSystemItem* d = tree.file("d/s.txt", "abc");
    FileSystemItem* e = tree.file("e/s.txt", "abc");
    FileSystemItem* f = tree.file("f/s.txt", "abc");
    tree.calculateSizes();
    const std::int64_t before = tree.root().allocatedSize();
    const auto sGroup = container->addGroupWithItems({d, e, f});
    container->removeFileItems({tree.folder("d"), f}, false);
    EXPECT_EQ(tree.root().childWithName("d"), nullptr);
    EXPECT_EQ(tree.folder("f")->numberOfChildren(), 0u);
    EXPECT_EQ(tree.root().allocatedSize(), before);
    EXPECT_EQ(sGroup->getFileSystemItems(), (std::vector<FileSystemItem*>{e}));
}

TEST_F(DuplicatesContainerTest, RemovingAFolderTakesTheCopiesBelowItWithIt) {
    FileSystemItem* bx = tree.file("B/sub/x.txt", "xx");
    FileSystemItem* cx = tree.file("C/x.txt", "xx");
    FileSystemItem* listedBelow = tree.file("A/sub/y.txt", "y");
    FileSystemItem* other = tree.file("other/y.txt", "y");
    tree.file("B/sub/y.txt", "y");
    const auto files = container->addGroupWithItems({tree.file("A/sub/x.txt", "xx"), bx, cx});
    const auto ys = container->addGroupWithItems({listedBelow, other});
    const auto folders = container->addGroupWithItems({tree.folder("A"), tree.folder("B")});

    // The folder and a copy below it are both listed: the copy goes with the folder.
    container->removeEntries({entryOf(tree.folder("A")), entryOf(listedBelow)});
    EXPECT_EQ(tree.root().childWithName("A"), nullptr);
    EXPECT_EQ(files->getTotalCount(), 2u);
    EXPECT_EQ(ys->getTotalCount(), 1u);
    EXPECT_EQ(folders->getTotalCount(), 1u);

    container->validateEmptyDataAfterRemoveWithListener(nullptr);
    EXPECT_EQ(folders->getCategory(), nullptr);
    EXPECT_EQ(ys->getCategory(), nullptr);
    // B is no duplicate folder any more, so its copy counts as an ordinary one again.
    const auto xGroup = entryOf(bx)->getGroup();
    ASSERT_NE(xGroup, nullptr);
    EXPECT_EQ(entryOf(cx)->getGroup(), xGroup);
    EXPECT_EQ(xGroup->getTotalCount(), 2u);
    EXPECT_EQ(xGroup->getItemsCountInDuplicatesFolders(), 0u);
    EXPECT_EQ(xGroup->getTotalSize(), 4u);
    EXPECT_EQ(xGroup->getSizeThatCanBeRemoved(), 2u);
}

TEST_F(DuplicatesContainerTest, ItemsLeavingTheTreeTakeTheirOtherNamesAlong) {
    FileSystemItem* kept = tree.file("A/x.txt", "x");
    FileSystemItem* keptName = tree.file("A/x-link.txt", "x");
    FileSystemItem* goingName = tree.file("B/sub/x-link.txt", "x");
    FileSystemItem* going = tree.file("B/y.txt", "y");
    FileSystemItem* goingOther = tree.file("C/y-link.txt", "y");
    container->addOtherNames(kept, {keptName, goingName});
    container->addOtherNames(going, {goingOther});

    container->removeFileItems({tree.folder("B")}, true);
    // The folder's files are gone as compared files and as other names; the
    // figure of the scan stays.
    ASSERT_NE(container->getOtherNames(kept), nullptr);
    EXPECT_EQ(*container->getOtherNames(kept), std::vector<FileSystemItem*>{keptName});
    EXPECT_EQ(container->getOtherNames(going), nullptr);
    EXPECT_EQ(container->getOtherNamesCount(), 3u);
    container->removeFileItems({keptName}, true);
    EXPECT_EQ(container->getOtherNames(kept), nullptr);
    EXPECT_NE(goingOther, nullptr);
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
    EXPECT_EQ(container->getCategoryWithType(FileCategory::folders)->getGroupsCount(), 1u);
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
        container->removeGroupsOfFewerThanTwoCopies();
    }
}

}  // namespace
}  // namespace kestrane
