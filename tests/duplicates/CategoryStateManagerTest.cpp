#include "duplicates/CategoryStateManager.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/ModelTestTree.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace kestrane {
namespace {

using test::entryOf;

class CategoryStateManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager.removeCategoryItems();
        manager.removeHeapsItems();
    }
    void TearDown() override { SetUp(); }

    CategoryStateManager& manager = CategoryStateManager::sharedManager();
};

TEST_F(CategoryStateManagerTest, RemembersTheLastGroupAndCopyPerCategory) {
    test::ModelTestTree tree;
    auto container = DuplicatesContainer::create(nullptr, nullptr);
    const auto first = container->addGroupWithItems({tree.file("a/1.txt", "1"), tree.file("b/1.txt", "1")});
    auto second = container->addGroupWithItems({tree.file("a/2.txt", "22"), tree.file("b/2.txt", "22")});
    const auto copy = first->getItems().front();

    manager.setDuplicateGroupForType(first, FileCategory::document);
    manager.setFileItemForType(copy, FileCategory::document);
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).duplicateGroup, first);
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).fileItem, copy);
    EXPECT_EQ(manager.getItemsForType(FileCategory::image).duplicateGroup, nullptr);

    // The same group again keeps the copy; another group drops it.
    manager.setDuplicateGroupForType(first, FileCategory::document);
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).fileItem, copy);
    manager.setDuplicateGroupForType(second, FileCategory::document);
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).duplicateGroup, second);
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).fileItem, nullptr);

    // What has gone is not remembered.
    manager.setFileItemForType(second->getItems().front(), FileCategory::document);
    second->getCategory()->removeGroup(second);
    second.reset();
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).duplicateGroup, nullptr);
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).fileItem, nullptr);

    manager.removeCategoryItems();
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).duplicateGroup, nullptr);
    EXPECT_EQ(manager.getItemsForType(FileCategory::document).fileItem, nullptr);
}

TEST_F(CategoryStateManagerTest, SimilarFolderPairAndAutoSelectState) {
    EXPECT_FALSE(manager.heapsMainFolderItem().has_value());
    manager.setHeapsFolderItems("/data/a", "/data/b");
    EXPECT_EQ(manager.heapsMainFolderItem(), "/data/a");
    EXPECT_EQ(manager.heapsSecondFolderItem(), "/data/b");
    manager.removeHeapsItems();
    EXPECT_FALSE(manager.heapsSecondFolderItem().has_value());

    manager.setLastAutoSelectState(1);
    EXPECT_EQ(manager.lastAutoSelectState(), 1);
    manager.setLastAutoSelectState(std::nullopt);
    EXPECT_FALSE(manager.lastAutoSelectState().has_value());
}

TEST_F(CategoryStateManagerTest, MayBeUsedFromSeveralThreads) {
    test::ModelTestTree tree;
    auto container = DuplicatesContainer::create(nullptr, nullptr);
    const auto group = container->addGroupWithItems({tree.file("a/1.txt", "1"), tree.file("b/1.txt", "1")});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                manager.setDuplicateGroupForType(group, kAllFileCategories[t]);
                manager.setFileItemForType(group->getItems().front(), kAllFileCategories[t]);
                manager.setHeapsFolderItems("/m" + std::to_string(i), "/s");
                EXPECT_EQ(manager.getItemsForType(kAllFileCategories[t]).duplicateGroup, group);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(manager.getItemsForType(kAllFileCategories[t]).fileItem, group->getItems().front());
}

}  // namespace
}  // namespace kestrane
