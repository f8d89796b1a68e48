#include "app/DuplicateItemPresentation.h"
#include "app/RemoveItemPresentationContainer.h"
#include "app/SIFTFolderPresentation.h"
#include "app/SelectedItemsPresenter.h"
#include "app/SelectedItemsSortMenuDelegate.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/ModelTestTree.h"
#include "platform/PreferencesStore.h"
#include "scan/FolderSystemItem.h"
#include "scan/VolumeSystemItem.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

namespace kestrane {
namespace {

using test::entryOf;
using Strings = std::vector<std::string>;

// One level of a review as text: a copy by its name, a folder as
// "name[children]" (or its path, for grouped folders).
std::string describe(const Presentations& level, bool folderPaths, const std::string& root) {
    std::string text;
    for (const auto& p : level) {
        if (!text.empty()) text += " ";
        if (p->isFolder()) {
            const auto& folder = static_cast<const SIFTFolderPresentation&>(*p);
            std::string name = folderPaths ? folder.path() : folder.name();
            if (!root.empty() && name.starts_with(root)) name = "R" + name.substr(root.size());
            text += name + "[" + describe(folder.subItems(), folderPaths, root) + "]";
        } else {
            text += static_cast<const DuplicateItemPresentation&>(*p).item()->getName();
        }
    }
    return text;
}

class SelectedItemsPresenterTest : public test::IsolatedHomeTest {
protected:
    void SetUp() override {
        IsolatedHomeTest::SetUp();
        // name, size, date: each has a twin in keep/ so that it can be selected.
        const std::vector<std::tuple<std::string, std::size_t, std::int64_t>> files = {
            {"a/b/one.jpg", 30, 300}, {"a/b/two.pdf", 10, 100}, {"a/c/three.mp3", 20, 200},
            {"a/four.zip", 40, 50},   {"Zed.mp4", 25, 400}};
        for (const auto& [name, size, date] : files) {
            const std::string content(size, name[0]);
            FileSystemItem* copy = tree.file(name, content);
            FileSystemItem* twin = tree.file("keep/" + name, content);
            test::setModificationTime(tree.path() + "/" + name, date);
            const auto group = container->addGroupWithItems({twin, copy});
            EXPECT_TRUE(entryOf(copy)->selectItemForced(false));
            copies[name] = entryOf(copy);
        }
        removalList = container->buildRemoveList();
    }

    std::string review(std::int32_t type, std::int32_t sortType) {
        auto presenter = SelectedItemsPresenter::create(type, removalList);
        presenter->sortUsingComparator(presenter->buildSortComparator(sortType));
        return describe(presenter->subItems(), type == SelectedItemsPresenter::kGroupedByFolders, tree.path());
    }

    test::ModelTestTree tree;
    std::shared_ptr<DuplicatesContainer> container = DuplicatesContainer::create(nullptr, nullptr);
    std::map<std::string, std::shared_ptr<DuplicateItem>> copies;
    std::vector<std::shared_ptr<DuplicateItem>> removalList;
};

TEST_F(SelectedItemsPresenterTest, EachSortOrderAppliesAtEveryLevelWithFilesBeforeFolders) {
    constexpr auto list = SelectedItemsPresenter::kPlainList;
    constexpr auto treeType = SelectedItemsPresenter::kFileTree;
    // Unsorted, the plain list keeps the removal list's order (by category).
    EXPECT_EQ(describe(SelectedItemsPresenter::create(list, removalList)->subItems(), false, ""),
              "one.jpg Zed.mp4 three.mp3 two.pdf four.zip");
    EXPECT_EQ(review(list, 1), "four.zip one.jpg three.mp3 two.pdf Zed.mp4");  // without regard to case
    EXPECT_EQ(review(list, 2), "Zed.mp4 two.pdf three.mp3 one.jpg four.zip");
    EXPECT_EQ(review(list, 3), "four.zip one.jpg Zed.mp4 three.mp3 two.pdf");
    EXPECT_EQ(review(list, 4), "two.pdf three.mp3 Zed.mp4 one.jpg four.zip");
    EXPECT_EQ(review(list, 5), "Zed.mp4 one.jpg three.mp3 two.pdf four.zip");
    EXPECT_EQ(review(list, 6), "four.zip two.pdf three.mp3 one.jpg Zed.mp4");
    EXPECT_EQ(review(list, 8), "one.jpg Zed.mp4 three.mp3 two.pdf four.zip");
    // Unknown orders leave the list as it is.
    EXPECT_EQ(review(list, 9), "one.jpg Zed.mp4 three.mp3 two.pdf four.zip");

    // In the tree every level is sorted, and folders (by name) follow the files.
    const std::string R = "R[Zed.mp4 a[four.zip b[one.jpg two.pdf] c[three.mp3]]]";
    EXPECT_EQ(review(treeType, 1), R);
    EXPECT_EQ(review(treeType, 4), "R[Zed.mp4 a[four.zip b[two.pdf one.jpg] c[three.mp3]]]");
    EXPECT_EQ(review(treeType, 5), "R[Zed.mp4 a[four.zip b[one.jpg two.pdf] c[three.mp3]]]");
    EXPECT_EQ(review(treeType, 6), "R[Zed.mp4 a[four.zip b[two.pdf one.jpg] c[three.mp3]]]");

    // Copies deselected in the review go after the selected ones; a stable
    // sort keeps the earlier order among equals.
    auto presenter = SelectedItemsPresenter::create(list, removalList);
    copies["a/c/three.mp3"]->deselectItem();
    copies["a/b/one.jpg"]->deselectItem();
    presenter->sortUsingComparator(presenter->buildSortComparator(1));
    presenter->sortUsingComparator(presenter->buildSortComparator(7));
    EXPECT_EQ(describe(presenter->subItems(), false, ""), "four.zip two.pdf Zed.mp4 one.jpg three.mp3");
    presenter->sortUsingComparator(presenter->buildSortComparator(8));
    EXPECT_EQ(describe(presenter->subItems(), false, ""), "one.jpg Zed.mp4 three.mp3 two.pdf four.zip");
}

TEST_F(SelectedItemsPresenterTest, TheThreePresentationsGroupTheSameCopiesDifferently) {
    // Grouped by folders: one entry per folder, a folder and its sub-folder apart.
    EXPECT_EQ(review(SelectedItemsPresenter::kGroupedByFolders, 2),
              "R[Zed.mp4] R/a[four.zip] R/a/b[two.pdf one.jpg] R/a/c[three.mp3]");
    // Two scanned folders of the same name stay apart in the tree, each
    // named by its path.
    test::TempDir first;
    test::TempDir second;
    std::vector<std::shared_ptr<VolumeSystemItem>> roots;
    std::vector<FileSystemItem*> photos;
    for (const test::TempDir* dir : {&first, &second}) {
        dir->writeFile("Photos/a/p.jpg", "pp");
        roots.push_back(VolumeSystemItem::create(*dir / "Photos", 0, 0));
        auto* a = FolderSystemItem::createInParent("a", *roots.back(), false, false);
        photos.push_back(FileSystemItem::createInParent("p.jpg", *a, 4096, false, 2));
    }
    const auto others = DuplicatesContainer::create(nullptr, nullptr);
    others->addGroupWithItems(photos);
    ASSERT_TRUE(entryOf(photos[0])->selectItemForced(false));
    const auto presenter = SelectedItemsPresenter::create(SelectedItemsPresenter::kFileTree, {entryOf(photos[0]), entryOf(photos[1])});
    presenter->sortUsingComparator(presenter->buildSortComparator(1));
    const auto [low, high] = std::minmax(first.path(), second.path());
    EXPECT_EQ(describe(presenter->subItems(), false, ""),
              low + "/Photos[a[p.jpg]] " + high + "/Photos[a[p.jpg]]");
    const auto& top = static_cast<const SIFTFolderPresentation&>(*presenter->subItems()[0]);
    EXPECT_EQ(top.folders().at(0)->path(), top.path() + "/a");

    // Stored presentation types: an unknown one is the file tree.
    EXPECT_EQ(SelectedItemsPresenter::create(7, removalList)->type(), SelectedItemsPresenter::kFileTree);
}

class Changes : public ItemPresentationListener {
public:
    void onItemPresentationChanged(const ItemPresentation&) override { ++count; }
    int count = 0;
};

TEST_F(SelectedItemsPresenterTest, RemovedCopiesAndEmptiedFoldersLeaveTheReview) {
    auto treeReview = SelectedItemsPresenter::create(SelectedItemsPresenter::kFileTree, removalList);
    auto grouped = SelectedItemsPresenter::create(SelectedItemsPresenter::kGroupedByFolders, removalList);
    auto list = SelectedItemsPresenter::create(SelectedItemsPresenter::kPlainList, removalList);
    treeReview->sortUsingComparator(treeReview->buildSortComparator(1));
    grouped->sortUsingComparator(grouped->buildSortComparator(1));
    auto& root = static_cast<SIFTFolderPresentation&>(*treeReview->subItems()[0]);
    auto& a = static_cast<SIFTFolderPresentation&>(*root.folders()[0]);
    auto listener = std::make_shared<Changes>();
    a.addListener(listener);

    // Both copies of a/b are removed: its entry goes with them.
    const auto removed = [&] {
        RemoveItemPresentationContainer container;
        container.addRemovedItem(*copies["a/b/one.jpg"]);
        container.addRemovedItem(*copies["a/b/two.pdf"]);
        return container;
    };
    auto forTree = removed();
    EXPECT_EQ(treeReview->removeSubItemsUsingContainer(forTree), std::vector<std::size_t>{});
    EXPECT_TRUE(forTree.empty());
    EXPECT_EQ(describe(treeReview->subItems(), false, tree.path()), "R[Zed.mp4 a[four.zip c[three.mp3]]]");
    EXPECT_EQ(listener->count, 1);
    auto forGrouped = removed();
    EXPECT_EQ(grouped->removeSubItemsUsingContainer(forGrouped), std::vector<std::size_t>{2});
    EXPECT_EQ(describe(grouped->subItems(), true, tree.path()), "R[Zed.mp4] R/a[four.zip] R/a/c[three.mp3]");
    auto forList = removed();
    EXPECT_EQ(list->removeSubItemsUsingContainer(forList), (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(describe(list->subItems(), false, ""), "Zed.mp4 three.mp3 four.zip");

    // Removing the rest empties the tree, top folder included.
    RemoveItemPresentationContainer rest;
    for (const char* name : {"a/c/three.mp3", "a/four.zip", "Zed.mp4"}) rest.addRemovedItem(*copies[name]);
    EXPECT_EQ(treeReview->removeSubItemsUsingContainer(rest), std::vector<std::size_t>{0});
    EXPECT_TRUE(treeReview->subItems().empty());

    // A removed folder takes its entry along; a folder that never had
    // children stays.
    Presentations level{std::make_shared<SIFTFolderPresentation>(nullptr, "empty", "/nowhere/empty"),
                        grouped->subItems()[1]};
    RemoveItemPresentationContainer folders;
    folders.addRemovedFolder(*tree.folder("a"));
    EXPECT_EQ(folders.indexesToDelete(level), std::vector<std::size_t>{1});
    deletePresentationsAt(level, {1});
    EXPECT_EQ(level.size(), 1u);
}

TEST(SelectedItemsSortMenuDelegateTest, TitlesAndStoredStringsOfTheSortOrders) {
    test::TempDir dir;
    Settings settings(std::make_shared<platform::PreferencesStore>(dir / "prefs.json"));
    SelectedItemsSortMenuDelegate menu(settings);
    EXPECT_EQ(menu.currentSortType(), 1);
    const Strings stored = {"Name. A to Z", "Name. Z to A", "Size. Large to Small", "Size. Small to Large",
                            "Date. Newest to Oldest", "Date. Oldest to Newest", "Selected", "Type"};
    for (std::int32_t type = 1; type <= 8; ++type) {
        menu.setCurrentSortType(type);
        EXPECT_EQ(settings.getStringValueForKey(Settings::kKeySelectedFilesSortType), stored[type - 1]);
        EXPECT_EQ(menu.currentSortType(), type);
        EXPECT_TRUE(SelectedItemsSortMenuDelegate::fileComparator(type));
    }
    EXPECT_STREQ(SelectedItemsSortMenuDelegate::menuTitle(4), "Size: Small to Large");
    EXPECT_STREQ(SelectedItemsSortMenuDelegate::buttonTitle(4), "Sort by Size");
    EXPECT_STREQ(SelectedItemsSortMenuDelegate::buttonTitle(7), "Sort by Selected");
    // Any other number: stored as "unknown", read back as 1, no order, button "Sort".
    menu.setCurrentSortType(9);
    EXPECT_EQ(settings.getStringValueForKey(Settings::kKeySelectedFilesSortType), "unknown");
    EXPECT_EQ(menu.currentSortType(), 1);
    EXPECT_FALSE(SelectedItemsSortMenuDelegate::fileComparator(0));
    EXPECT_STREQ(SelectedItemsSortMenuDelegate::buttonTitle(0), "Sort");
    settings.saveStringValue("size", Settings::kKeySelectedFilesSortType);
    EXPECT_EQ(menu.currentSortType(), 1);

    // The presentation: "outline", "folders", "plain"; anything else is 0, and is stored as "-".
    EXPECT_EQ(settings.selectedFilesPresentation(), 0);
    settings.setSelectedFilesPresentation(2);
    EXPECT_EQ(settings.getStringValueForKey(Settings::kKeySelectedFilesPresentation), "plain");
    EXPECT_EQ(settings.selectedFilesPresentation(), 2);
    settings.saveStringValue("tree", Settings::kKeySelectedFilesPresentation);
    EXPECT_EQ(settings.selectedFilesPresentation(), 0);
    settings.setSelectedFilesPresentation(5);
    EXPECT_EQ(settings.getStringValueForKey(Settings::kKeySelectedFilesPresentation), "-");
    EXPECT_EQ(settings.selectedFilesPresentation(), 0);
}

}  // namespace
}  // namespace kestrane
