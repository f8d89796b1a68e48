#include "duplicates/FileSeparatorForContainer.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/FileCategory.h"
#include "platform/SerialQueue.h"
#include "scan/FileSystemItem.h"

namespace kestrane {

std::shared_ptr<FileSeparatorForContainer> FileSeparatorForContainer::create(SeparationOptions options) {
    return std::make_shared<FileSeparatorForContainer>(options);
}

void FileSeparatorForContainer::separateItemsToContainerWithListener(
    std::vector<FileSystemItem*> items, std::shared_ptr<DuplicatesContainer> container,
    std::weak_ptr<FileSeparatorForContainerListener> listener) {
    auto separator = FileSeparator::create(m_options);
    auto holder = std::make_shared<std::vector<FileSystemItem*>>(std::move(items));
    FileSeparator::workingQueue().async([self = shared_from_this(), separator, holder,
                                         container = std::move(container), listener = std::move(listener)] {
        self->m_pContainer = container;
        self->m_pListener = listener;
        self->m_pSeparator = separator;
        // The container holds the roots of the items: the separation keeps it
        // until it has reported, even when this object is gone by then.
        separator->separateItemsWithListener(std::move(*holder), self, container);
    });
}

void FileSeparatorForContainer::stop() {
    FileSeparator::workingQueue().async([self = shared_from_this()] {
        if (self->m_pSeparator) self->m_pSeparator->stop();
    });
}

void FileSeparatorForContainer::onFinishSeparateItemsByHash(FileSeparator&, FileSeparatorMap result) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_pSeparator.reset();
    auto container = std::move(m_pContainer);
    auto listener = std::exchange(m_pListener, {}).lock();
    if (container) {
        for (const auto& [key, set] : result) {
            if (set.size() < 2) continue;
            const std::optional<FileCategory> type = typeOfFileAtPath((*set.begin())->name());
            if (auto category = container->getCategoryWithType(type))
                category->addGroupWithItems(std::vector<FileSystemItem*>(set.begin(), set.end()));
        }
    }
    if (listener) listener->onFinishFileSeparatorWithResultToContainer(*this, result, container);
}

}  // namespace kestrane
