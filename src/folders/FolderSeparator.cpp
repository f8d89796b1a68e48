#include "folders/FolderSeparator.h"

#include "platform/NoDestructor.h"

#include "folders/FolderDuplicatesInfo.h"
#include "platform/SerialQueue.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>

namespace kestrane {

namespace {

std::uint64_t sizeKeyOf(const FileSystemItem& item) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(item.logicalSize(), 0));
}

}  // namespace

std::shared_ptr<FolderSeparator> FolderSeparator::create(SeparationOptions options) {
    return std::make_shared<FolderSeparator>(Private{}, options);
}

FolderSeparator::FolderSeparator(Private, SeparationOptions options) : m_options(options) {}

std::shared_ptr<FolderSeparator> FolderSeparator::createChild() const {
    auto child = create(m_options);
    child->m_pItemsOwner = m_pItemsOwner;
    return child;
}

FolderSeparator::~FolderSeparator() = default;

platform::SerialQueue& FolderSeparator::workingQueue() {
    static platform::NoDestructor<const std::shared_ptr<platform::SerialQueue>> queue(
        platform::SerialQueue::create("folderseparator.working"));
    return **queue;
}

void FolderSeparator::separateItemsWithDelegate(std::vector<FolderSystemItem*> folders,
                                                std::weak_ptr<FolderSeparatorDelegate> delegate) {
    auto holder = std::make_shared<std::vector<FolderSystemItem*>>(std::move(folders));
    workingQueue().async([self = shared_from_this(), holder, delegate = std::move(delegate)] {
        self->m_nTotalProcessedItems = 0;
        self->m_nCurrentProcessedItemsInFolders = 0;
        FolderDuplicatesInfos infos;
        for (FolderSystemItem* folder : *holder) infos.try_emplace(folder, std::make_shared<FolderDuplicatesInfo>(folder));
        self->separateFoldersInfosForItemsWithDelegate(std::move(infos), std::move(*holder), delegate);
    });
}

void FolderSeparator::separateFoldersInfosForItemsWithDelegate(FolderDuplicatesInfos infos,
                                                               std::vector<FolderSystemItem*> folders,
                                                               std::weak_ptr<FolderSeparatorDelegate> delegate) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_arrFoldersInfos = std::move(infos);
    m_pDelegate = std::move(delegate);
    // Each folder once, each with its summary.
    std::unordered_set<const FolderSystemItem*> seen;
    m_arrFoldersItems.clear();
    m_arrFoldersItems.reserve(folders.size());
    for (FolderSystemItem* folder : folders) {
        if (folder == nullptr || !seen.insert(folder).second) continue;
        m_arrFoldersItems.push_back(folder);
        if (!m_arrFoldersInfos.contains(folder))
            m_arrFoldersInfos.emplace(folder, std::make_shared<FolderDuplicatesInfo>(folder));
    }
    continueFolderSeparation();
}

void FolderSeparator::stop() {
    m_bIsCanceled.store(true);
    // What this separator started is only known on the working queue; a step
    // that starts something after the flag was set sees the flag first.
    workingQueue().async([self = shared_from_this()] {
        for (const auto& sub : self->m_arrSubSeparators) sub->stop();
        if (self->m_pFileSeparator) self->m_pFileSeparator->stop();
        if (self->m_pFolderSeparator) self->m_pFolderSeparator->stop();
    });
}

void FolderSeparator::continueFolderSeparation() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bIsFinished) return;
    if (m_bIsCanceled.load()) return finishAsOnlyOneLeft();
    if (m_arrFoldersItems.size() <= 1) {
        m_nTotalProcessedItems += 1;
        reportProgress();
        return finishAsOnlyOneLeft();
    }

    for (std::size_t index = 1; index < m_arrFoldersItems.size(); ++index) {
        const auto& previous = *m_arrFoldersInfos.at(m_arrFoldersItems[index - 1]);
        const auto& current = *m_arrFoldersInfos.at(m_arrFoldersItems[index]);
        if (!previous.isEqualToFolderInfo(current)) return splitFoldersAt(index);
    }

    // All equal so far: compare the next batch of children.
    if (!m_bChildrenSorted) sortChildrenBySize();
    if (!m_arrFileItemsGroupedBySize.empty()) return separateNextFileBatch();
    if (!m_arrFolderItemsGroupedBySize.empty()) return separateNextFolderBatch();

    m_nTotalProcessedItems += m_arrFoldersItems.size();
    reportProgress();
    finishAsFoldersAreDuplicates();
}

void FolderSeparator::splitFoldersAt(std::size_t splitIndex) {
    std::vector<std::vector<FolderSystemItem*>> subGroups;
    subGroups.emplace_back(m_arrFoldersItems.begin(), m_arrFoldersItems.begin() + static_cast<std::ptrdiff_t>(splitIndex));
    for (std::size_t index = splitIndex; index < m_arrFoldersItems.size(); ++index) {
        FolderSystemItem* folder = m_arrFoldersItems[index];
        const auto& info = *m_arrFoldersInfos.at(folder);
        auto joined = std::find_if(subGroups.begin(), subGroups.end(), [&](const auto& group) {
            return m_arrFoldersInfos.at(group.front())->isEqualToFolderInfo(info);
        });
        if (joined != subGroups.end())
            joined->push_back(folder);
        else
            subGroups.push_back({folder});
    }

    foldCurrentIntoTotal();
    const std::weak_ptr<FolderSeparatorDelegate> self = weak_from_this();
    for (auto& group : subGroups) {
        FolderDuplicatesInfos infos;
        for (FolderSystemItem* folder : group) infos.emplace(folder, m_arrFoldersInfos.at(folder));
        auto sub = createChild();
        m_arrSubSeparators.push_back(sub);
        auto holder = std::make_shared<std::pair<FolderDuplicatesInfos, std::vector<FolderSystemItem*>>>(
            std::move(infos), std::move(group));
        workingQueue().async([sub, holder, self] {
            sub->separateFoldersInfosForItemsWithDelegate(std::move(holder->first), std::move(holder->second), self);
        });
    }
    m_arrFoldersItems.clear();
    m_arrFoldersItems.shrink_to_fit();
    m_arrFoldersInfos.clear();
}

void FolderSeparator::sortChildrenBySize() {
    m_bChildrenSorted = true;
    for (FolderSystemItem* folder : m_arrFoldersItems) {
        for (const auto& child : folder->childrenArray()) {
            if (child->isCheckedForDuplicates() || child->hasExcludeContent()) continue;
            auto& bySize = child->isDir() ? m_arrFolderItemsGroupedBySize : m_arrFileItemsGroupedBySize;
            bySize[sizeKeyOf(*child)].push_back(child.get());
        }
    }
}

void FolderSeparator::separateNextFileBatch() {
    auto batch = m_arrFileItemsGroupedBySize.extract(m_arrFileItemsGroupedBySize.begin());
    m_arrFilesThatWasSeparated = std::move(batch.mapped());
    m_pFileSeparator = FileSeparator::create(m_options);
    m_pFileSeparator->separateItemsWithListener(m_arrFilesThatWasSeparated, weak_from_this(), m_pItemsOwner);
}

void FolderSeparator::separateNextFolderBatch() {
    auto batch = m_arrFolderItemsGroupedBySize.extract(m_arrFolderItemsGroupedBySize.begin());
    m_arrFoldersThatWasSeparated = std::move(batch.mapped());
    std::vector<FolderSystemItem*> subFolders;
    subFolders.reserve(m_arrFoldersThatWasSeparated.size());
    for (FileSystemItem* item : m_arrFoldersThatWasSeparated) subFolders.push_back(static_cast<FolderSystemItem*>(item));
    foldCurrentIntoTotal();
    m_pFolderSeparator = createChild();
    m_pFolderSeparator->separateItemsWithDelegate(std::move(subFolders), weak_from_this());
}

void FolderSeparator::onFinishSeparateItemsByHash(FileSeparator& separator, FileSeparatorMap result) {
    // Arrives on the file separators' queue; the bookkeeping belongs here.
    auto holder = std::make_shared<FileSeparatorMap>(std::move(result));
    const FileSeparator* reporting = &separator;
    workingQueue().async([self = shared_from_this(), holder, reporting] {
        if (reporting != self->m_pFileSeparator.get()) return;
        self->m_pFileSeparator.reset();
        const auto items = std::move(self->m_arrFilesThatWasSeparated);
        self->m_arrFilesThatWasSeparated.clear();
        self->processHashedItems(*holder, items);
    });
}

void FolderSeparator::onProcessedItemsCount(std::uint64_t count, FolderSeparator& separator) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_arrChildCounts[&separator] = count;
    m_nCurrentProcessedItemsInFolders = 0;
    for (const auto& [child, childCount] : m_arrChildCounts) m_nCurrentProcessedItemsInFolders += childCount;
    reportProgress();
}

void FolderSeparator::processIndermediateItemsWithSameHash(const FileSeparatorMap& items) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (auto delegate = m_pDelegate.lock()) delegate->processIndermediateItemsWithSameHash(items);
}

void FolderSeparator::onFinishSeparateFolderItemsSeparator(const FolderSets& result, FolderSeparator& separator) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (&separator == m_pFolderSeparator.get()) {
        // A batch of subfolders: each set of identical ones counts as one group.
        const auto keepAlive = std::move(m_pFolderSeparator);
        m_pFolderSeparator.reset();
        FileSeparatorMap grouped;
        for (std::size_t index = 0; index < result.size(); ++index)
            for (FolderSystemItem* folder : result[index]) grouped.addObjectWithSeparatorKey(folder, std::to_string(index));
        const auto items = std::move(m_arrFoldersThatWasSeparated);
        m_arrFoldersThatWasSeparated.clear();
        processHashedItems(grouped, items);
        return;
    }

    const auto it = std::find_if(m_arrSubSeparators.begin(), m_arrSubSeparators.end(),
                                 [&](const auto& sub) { return sub.get() == &separator; });
    if (it == m_arrSubSeparators.end()) return;
    const auto keepAlive = *it;
    m_arrSubSeparators.erase(it);
    for (const auto& set : result)
        if (!set.empty()) m_arrSubSeparatorsResult.push_back(set);
    if (!m_arrSubSeparators.empty()) return;
    FolderSets collected = std::move(m_arrSubSeparatorsResult);
    m_arrSubSeparatorsResult.clear();
    if (m_bIsCanceled.load()) collected.clear();
    reportResult(std::move(collected));
}

void FolderSeparator::processHashedItems(const FileSeparatorMap& items,
                                                                      const std::vector<FileSystemItem*>& allItems) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // First the identical items get their groups, then the summaries count them.
    if (!items.empty()) processIndermediateItemsWithSameHash(items);
    for (const auto& [folder, info] : m_arrFoldersInfos) info->resetGroupsInfo();
    for (const FileSystemItem* item : allItems) {
        const auto info = m_arrFoldersInfos.find(item->parent());
        if (info != m_arrFoldersInfos.end()) info->second->updateDataAfterProcessedItem(item);
    }
    continueFolderSeparation();
}

void FolderSeparator::finishAsOnlyOneLeft() {
    for (FolderSystemItem* folder : m_arrFoldersItems) folder->setIsCheckedForDuplicates(true);
    reportResult({});
}

void FolderSeparator::finishAsFoldersAreDuplicates() {
    for (FolderSystemItem* folder : m_arrFoldersItems) folder->setIsCheckedForDuplicates(true);
    reportResult({m_arrFoldersItems});
}

void FolderSeparator::reportResult(FolderSets result) {
    m_bIsFinished = true;
    m_arrFileItemsGroupedBySize.clear();
    m_arrFolderItemsGroupedBySize.clear();
    m_arrFoldersInfos.clear();
    m_arrChildCounts.clear();
    auto holder = std::make_shared<FolderSets>(std::move(result));
    workingQueue().async([self = shared_from_this(), holder] {
        if (auto delegate = self->m_pDelegate.lock()) delegate->onFinishSeparateFolderItemsSeparator(*holder, *self);
    });
}

void FolderSeparator::reportProgress() {
    if (auto delegate = m_pDelegate.lock())
        delegate->onProcessedItemsCount(m_nTotalProcessedItems + m_nCurrentProcessedItemsInFolders, *this);
}

void FolderSeparator::foldCurrentIntoTotal() {
    m_nTotalProcessedItems += m_nCurrentProcessedItemsInFolders;
    m_nCurrentProcessedItemsInFolders = 0;
    m_arrChildCounts.clear();
}

}  // namespace kestrane
