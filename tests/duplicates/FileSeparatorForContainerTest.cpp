#include "duplicates/FileSeparatorForContainer.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/ScannedFolders.h"
#include "scan/VolumeSystemItem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <future>

namespace kestrane {
namespace {

class PromiseListener : public FileSeparatorForContainerListener {
public:
    void onFinishFileSeparatorWithResultToContainer(FileSeparatorForContainer&, const FileSeparatorMap& result,
                                                    const std::shared_ptr<DuplicatesContainer>& container) override {
        ++calls;
        keys = result.size();
        done.set_value(container);
    }
    std::promise<std::shared_ptr<DuplicatesContainer>> done;
    std::size_t keys = 0;
    int calls = 0;
};

class FileSeparatorForContainerTest : public test::IsolatedHomeTest {
protected:
    FileSystemItem* file(const std::string& name, const std::string& content) {
        m_files.writeFile(name, content);
        return FileSystemItem::createInParent(name, *m_root, 4096, false, static_cast<std::int64_t>(content.size()));
    }
    test::TempDir m_files;
    std::shared_ptr<VolumeSystemItem> m_root = VolumeSystemItem::create(m_files.path(), 0, 0);
};

TEST_F(FileSeparatorForContainerTest, AddsEachSetOfIdenticalFilesAsAGroupOfItsCategory) {
    std::vector<FileSystemItem*> items{file("a.mp3", "tune"), file("b.mp3", "tune"), file("c.mp3", "beat"),
                                       file("d.pdf", "text"), file("e.pdf", "text")};
    auto container = DuplicatesContainer::create(nullptr, nullptr);
    container->saveRoots({m_root});  // the container keeps the tree it points into alive
    auto listener = std::make_shared<PromiseListener>();
    auto separator = FileSeparatorForContainer::create(SeparationOptions{});
    separator->separateItemsToContainerWithListener(items, container, listener);
    auto future = listener->done.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(future.get(), container);
    EXPECT_EQ(listener->calls, 1);
    EXPECT_EQ(listener->keys, 3u);  // "tune", "beat" and "text": single sets are reported too
    ASSERT_EQ(container->getCategoryWithType(FileCategory::music)->getGroups().size(), 1u);
    EXPECT_EQ(container->getCategoryWithType(FileCategory::music)->getTotalCount(), 2);
    EXPECT_EQ(container->getCategoryWithType(FileCategory::document)->getGroups().size(), 1u);
    EXPECT_EQ(container->getAllFilesGroups().size(), 2u);
}

TEST_F(FileSeparatorForContainerTest, StopAddsNothingAndStillReportsOnce) {
    std::vector<FileSystemItem*> items;
    for (int i = 0; i < 40; ++i) items.push_back(file("f" + std::to_string(i) + ".jpg", std::string(50000, 'x')));
    auto container = DuplicatesContainer::create(nullptr, nullptr);
    container->saveRoots({m_root});  // the container keeps the tree it points into alive
    auto listener = std::make_shared<PromiseListener>();
    auto separator = FileSeparatorForContainer::create(SeparationOptions{});
    {
        // The stop is queued before the separation begins: every key would
        // otherwise be back before it in no time.
        test::QueueGate gate(FileSeparator::workingQueue());
        separator->separateItemsToContainerWithListener(items, container, listener);
        separator->stop();
    }
    auto future = listener->done.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(listener->calls, 1);
    EXPECT_EQ(listener->keys, 0u);
    EXPECT_TRUE(container->getAllFilesGroups().empty());
}

}  // namespace
}  // namespace kestrane
