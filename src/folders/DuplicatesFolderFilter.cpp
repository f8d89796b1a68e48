#include "folders/DuplicatesFolderFilter.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/FileCategory.h"
#include "platform/Clock.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"
#include "platform/SerialQueue.h"
#include "scan/ExcludeChecker.h"
#include "scan/VolumeSystemItem.h"

#include <algorithm>
#include <utility>

namespace kestrane {

std::shared_ptr<DuplicatesFolderFilter> DuplicatesFolderFilter::create(std::shared_ptr<DuplicatesContainer> container,
                                                                       std::int64_t minimalFileSize,
                                                                       SeparationOptions options) {
    return std::make_shared<DuplicatesFolderFilter>(Private{}, std::move(container), minimalFileSize, options);
}

DuplicatesFolderFilter::DuplicatesFolderFilter(Private, std::shared_ptr<DuplicatesContainer> container,
                                               std::int64_t minimalFileSize, SeparationOptions options)
    : m_options(options),
      m_clock(platform::Clock::steady()),
      m_pContainer(std::move(container)),
      m_bAutoDefineMinimalFileSize(minimalFileSize == -1),
      m_nMinimalFileSize(minimalFileSize < 0 ? 0 : static_cast<std::uint64_t>(minimalFileSize)) {}

void DuplicatesFolderFilter::setListener(std::weak_ptr<DuplicatesFolderFilterListener> listener) {
    m_pListener = std::move(listener);
}

void DuplicatesFolderFilter::findFoldersDuplicatesInRootsIncludeHidden(std::vector<std::shared_ptr<VolumeSystemItem>> roots,
                                                                       bool includeHidden) {
    if (m_bIsStarted.exchange(true)) return;
    auto holder = std::make_shared<std::vector<std::shared_ptr<VolumeSystemItem>>>(std::move(roots));
    FolderSeparator::workingQueue().async([self = shared_from_this(), holder, includeHidden] {
        self->m_arrRoots = std::move(*holder);
        if (!self->m_bIsCanceled.load()) {
            for (const auto& root : self->m_arrRoots)
                if (root) root->recalculateCountOfDeepChildren();
            auto buckets =
                SimpleFolderInfo::GroupFoldersBySizeAndChildrenCount(self->collectCandidates(self->m_arrRoots, includeHidden));
            self->m_arrGroupedSimpleFoldersInfo =
                self->m_bAutoDefineMinimalFileSize ? SimpleFolderInfo::SortedGroupsBySizeFromBigToSmall(std::move(buckets))
                                                   : SimpleFolderInfo::SortedGroupsBySizeFromSmallToBig(std::move(buckets));
        }
        self->m_nNextProcessedSimpleFolderInfoIndex = 0;
        self->m_startDate = self->m_clock->now();
        self->processNextSimpleGroup();
    });
}

bool DuplicatesFolderFilter::isSkippedWithSubtree(FolderSystemItem& folder, bool includeHidden) const {
    if (folder.isCheckedForDuplicates()) return true;
    if (!includeHidden && folder.isTopHiddenFlag()) return true;
    if (folder.isInPackage()) return true;
    if (static_cast<std::uint64_t>(std::max<std::int64_t>(folder.logicalSize(), 0)) < m_nMinimalFileSize) return true;
    const auto& checker = m_pContainer ? m_pContainer->getExcludeChecker() : nullptr;
    return checker && checker->isFileItemExcluded(&folder);
}

std::vector<SimpleFolderInfo> DuplicatesFolderFilter::collectCandidates(
    const std::vector<std::shared_ptr<VolumeSystemItem>>& roots, bool includeHidden) const {
    std::vector<SimpleFolderInfo> candidates;
    // Level by level, from the roots down.
    std::vector<FolderSystemItem*> level;
    for (const auto& root : roots)
        if (root) level.push_back(root.get());
    while (!level.empty()) {
        std::vector<FolderSystemItem*> nextLevel;
        for (FolderSystemItem* folder : level) {
            if (isSkippedWithSubtree(*folder, includeHidden)) continue;
            SimpleFolderInfo info(folder);
            if (info.isCanBeDuplicate())
                candidates.push_back(info);
            else
                folder->setIsCheckedForDuplicates(true);
            for (const auto& child : folder->childrenArray())
                if (child->isDir()) nextLevel.push_back(static_cast<FolderSystemItem*>(child.get()));
        }
        level = std::move(nextLevel);
    }
    return candidates;
}

void DuplicatesFolderFilter::processNextSimpleGroup() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bAutoDefineMinimalFileSize && secondsSinceStart() > kAutoModeTimeLimit) return finish();
    const auto count = static_cast<std::int64_t>(m_arrGroupedSimpleFoldersInfo.size());
    if (m_bIsCanceled.load() || m_nNextProcessedSimpleFolderInfoIndex >= count) return finish();

    const bool reportDue =
        !m_lastReportDate ||
        m_clock->now() - *m_lastReportDate >= std::chrono::duration<double>(getUpdateTimeInterval());
    if (!reportDue || m_pListener.expired()) return startNextSimpleGroup();
    // The bucket starts once the listener has seen the container.
    reportProgress(true, [weak = weak_from_this()] {
        if (auto self = weak.lock())
            FolderSeparator::workingQueue().async([self] { self->startNextSimpleGroup(); });
    });
}

void DuplicatesFolderFilter::startNextSimpleGroup() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const auto count = static_cast<std::int64_t>(m_arrGroupedSimpleFoldersInfo.size());
    if (m_bIsCanceled.load() || m_nNextProcessedSimpleFolderInfoIndex >= count) return finish();

    SimpleFolderInfoGroup bucket =
        std::move(m_arrGroupedSimpleFoldersInfo[static_cast<std::size_t>(m_nNextProcessedSimpleFolderInfoIndex)]);
    ++m_nNextProcessedSimpleFolderInfoIndex;
    m_nTotalCheckedFolders += m_nCurrentCheckedFolders;
    m_nCurrentCheckedFolders = 0;

    std::vector<FolderSystemItem*> folders;
    folders.reserve(bucket.size());
    for (const SimpleFolderInfo& info : bucket) folders.push_back(info.getSystemItem());
    m_pFolderSeparatorForContainer = FolderSeparatorForContainer::create(m_options);
    m_pFolderSeparatorForContainer->setClock(m_clock);
    m_pFolderSeparatorForContainer->separateItemsToContainerWithListener(std::move(folders), m_pContainer,
                                                                         weak_from_this());
}

void DuplicatesFolderFilter::stop() {
    m_bIsCanceled.store(true);
    FolderSeparator::workingQueue().async([self = shared_from_this()] {
        if (self->m_pFolderSeparatorForContainer) self->m_pFolderSeparatorForContainer->stop();
    });
}

void DuplicatesFolderFilter::updateCountOfCheckedFolders(std::uint64_t count) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_nCurrentCheckedFolders = count;
    // A report made at the start of the bucket may have just gone.
    if (m_lastReportDate &&
        m_clock->now() - *m_lastReportDate < std::chrono::duration<double>(getUpdateTimeInterval()))
        return;
    reportProgress(false, {});
}

void DuplicatesFolderFilter::onFinishFolderSeparatorWithResultToContainer(FolderSeparatorForContainer& separator,
                                                                          const FolderSets&,
                                                                          const std::shared_ptr<DuplicatesContainer>&) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (&separator != m_pFolderSeparatorForContainer.get()) return;
    m_pFolderSeparatorForContainer.reset();
    processNextSimpleGroup();
}

void DuplicatesFolderFilter::finish() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bIsFinished) return;
    m_bIsFinished = true;
    m_pFolderSeparatorForContainer.reset();
    if (m_pContainer) m_pContainer->removeGroupsOfFewerThanTwoCopies();

    // The final report, then the completion from a background queue; the
    // container and the trees go along and are released there.
    auto container = m_pContainer;
    auto roots = std::make_shared<std::vector<std::shared_ptr<VolumeSystemItem>>>(std::move(m_arrRoots));
    if (!m_pListener.expired()) {
        reportProgress(true, [listener = m_pListener, container, roots]() mutable {
            platform::backgroundQueue().async([listener, container, roots]() mutable {
                auto result = std::move(container);
                if (auto strong = listener.lock(); strong && result)
                    strong->onDuplicateFoldersFiltered(std::move(result));
                roots.reset();
            });
        });
    }
    m_pContainer.reset();
    m_arrRoots.clear();
    m_arrGroupedSimpleFoldersInfo.clear();
}

double DuplicatesFolderFilter::secondsSinceStart() const {
    return std::chrono::duration<double>(m_clock->now() - m_startDate).count();
}

float DuplicatesFolderFilter::currentProgress() const {
    double progress = 1.0;
    if (m_bAutoDefineMinimalFileSize) {
        if (kAutoModeTimeLimit > 0) progress = secondsSinceStart() / kAutoModeTimeLimit;
    } else if (!m_arrGroupedSimpleFoldersInfo.empty()) {
        progress = static_cast<double>(m_nNextProcessedSimpleFolderInfoIndex) /
                   static_cast<double>(m_arrGroupedSimpleFoldersInfo.size());
    }
    return static_cast<float>(std::clamp(progress, 0.0, 1.0));
}

void DuplicatesFolderFilter::reportProgress(bool withContainer, platform::Task afterDelivery) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_lastReportDate = m_clock->now();
    std::uint64_t totalSize = 0;
    if (m_pContainer)
        if (const auto folders = m_pContainer->getCategoryWithType(FileCategory::folders))
            totalSize = static_cast<std::uint64_t>(std::max<std::int64_t>(folders->getTotalSize(), 0));
    const float progress = currentProgress();
    const std::uint64_t checked = m_nCurrentCheckedFolders + m_nTotalCheckedFolders;
    platform::MainQueue::shared().async([listener = m_pListener, container = withContainer ? m_pContainer : nullptr,
                                         totalSize, progress, checked, afterDelivery = std::move(afterDelivery)] {
        if (auto strong = listener.lock()) {
            strong->onDuplicateFoldersProgress(totalSize, progress,
                                                                                                     checked);
            if (container) strong->onUpdateSizesUsingContainer(container);
        }
        if (afterDelivery) afterDelivery();
    });
}

}  // namespace kestrane
