#include "folders/FolderSeparatorForContainer.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "platform/Clock.h"
#include "platform/SerialQueue.h"
#include "scan/FolderSystemItem.h"

#include <utility>

namespace kestrane {

std::shared_ptr<FolderSeparatorForContainer> FolderSeparatorForContainer::create(SeparationOptions options) {
    return std::make_shared<FolderSeparatorForContainer>(options);
}

FolderSeparatorForContainer::FolderSeparatorForContainer(SeparationOptions options)
    : m_options(options), m_clock(platform::Clock::steady()) {}

void FolderSeparatorForContainer::separateItemsToContainerWithListener(
    std::vector<FolderSystemItem*> folders, std::shared_ptr<DuplicatesContainer> container,
    std::weak_ptr<FolderSeparatorForContainerListener> listener) {
    auto holder = std::make_shared<std::vector<FolderSystemItem*>>(std::move(folders));
    FolderSeparator::workingQueue().async([self = shared_from_this(), holder, container = std::move(container),
                                           listener = std::move(listener)] {
        self->m_pContainer = container;
        self->m_pListener = listener;
        self->m_nCountOfCheckedItems = 0;
        self->m_bCountDelivered = true;
        self->m_timeBeforeUpdate = self->m_clock->now();
        self->m_pSeparator = FolderSeparator::create(self->m_options);
        self->m_pSeparator->setItemsOwner(container);
        if (self->m_bIsStopRequested) self->m_pSeparator->stop();
        self->m_pSeparator->separateItemsWithDelegate(std::move(*holder), self->weak_from_this());
    });
}

void FolderSeparatorForContainer::stop() {
    FolderSeparator::workingQueue().async([self = shared_from_this()] {
        self->m_bIsStopRequested = true;
        if (self->m_pSeparator) self->m_pSeparator->stop();
    });
}

void FolderSeparatorForContainer::onProcessedItemsCount(std::uint64_t count, FolderSeparator&) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_nCountOfCheckedItems = count;
    m_bCountDelivered = false;
    const auto interval = std::chrono::duration<double>(kUpdateTimeInterval);
    if (m_clock->now() - m_timeBeforeUpdate > interval) deliverCount();
}

void FolderSeparatorForContainer::deliverCount() {
    m_timeBeforeUpdate = m_clock->now();
    m_bCountDelivered = true;
    if (auto listener = m_pListener.lock()) listener->updateCountOfCheckedFolders(m_nCountOfCheckedItems);
}

void FolderSeparatorForContainer::processIndermediateItemsWithSameHash(const FileSeparatorMap& items) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!m_pContainer) return;
    const auto& category = m_pContainer->getSmallDuplicatesCategory();
    if (!category) return;
    for (const auto& [key, set] : items)
        if (set.size() >= 2) category->addGroupWithItems(std::vector<FileSystemItem*>(set.begin(), set.end()));
}

void FolderSeparatorForContainer::onFinishSeparateFolderItemsSeparator(const FolderSets& result,
                                                                       FolderSeparator& separator) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (&separator != m_pSeparator.get()) return;
    if (!m_bCountDelivered) deliverCount();
    const auto keepAlive = std::move(m_pSeparator);
    m_pSeparator.reset();
    auto container = std::move(m_pContainer);
    m_pContainer.reset();
    auto listener = std::exchange(m_pListener, {}).lock();
    if (container) {
        for (const auto& set : result)
            if (set.size() >= 2) container->addGroupWithItems(std::vector<FileSystemItem*>(set.begin(), set.end()));
    }
    if (listener) listener->onFinishFolderSeparatorWithResultToContainer(*this, result, container);
}

}  // namespace kestrane
