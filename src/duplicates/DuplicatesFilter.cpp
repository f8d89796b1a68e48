#include "duplicates/DuplicatesFilter.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/FileCategory.h"
#include "duplicates/HeapsCollection.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "platform/TaskInbox.h"
#include "scan/ExcludeChecker.h"
#include "scan/FolderScanContext.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <tuple>

namespace kestrane {

std::shared_ptr<DuplicatesFilter> DuplicatesFilter::create(std::int64_t minimalFileSize,
                                                           std::shared_ptr<HeapsCollection> heaps,
                                                           std::shared_ptr<const ExcludeChecker> excludeChecker,
                                                           SeparationOptions options) {
    return std::make_shared<DuplicatesFilter>(
        Private{}, minimalFileSize, DuplicatesContainer::create(std::move(heaps), std::move(excludeChecker)), options);
}

DuplicatesFilter::DuplicatesFilter(Private, std::int64_t minimalFileSize, std::shared_ptr<DuplicatesContainer> container,
                                   SeparationOptions options)
    : m_mainInbox(platform::MainQueue::shared()),
      m_pDuplicatesContainer(std::move(container)),
      m_separationOptions(options),
      m_bAutoDefineMinimalFileSize(minimalFileSize == -1),
      m_nMinimalDuplicatesFileSize(minimalFileSize < 0 ? 0 : static_cast<std::uint64_t>(minimalFileSize)) {}

void DuplicatesFilter::setWorkingQueue(std::shared_ptr<platform::SerialQueue> queue) {
    m_pWorkingQueue = std::move(queue);
    if (m_pWorkingQueue) m_queueChecker.attach(*m_pWorkingQueue);
    m_resultsInbox = m_pWorkingQueue ? std::make_unique<platform::TaskInbox>(*m_pWorkingQueue) : nullptr;
}

void DuplicatesFilter::setListener(std::weak_ptr<DuplicatesFilterListener> listener) {
    m_pListener = std::move(listener);
}

void DuplicatesFilter::setScanContext(std::shared_ptr<HardLinkNames> hardLinks, std::shared_ptr<ScanProblems> problems) {
    m_pHardLinks = std::move(hardLinks);
    m_pScanProblems = std::move(problems);
}

bool DuplicatesFilter::pacesSavingByListener() const {
    return m_bAutoDefineMinimalFileSize && m_searchTimeLimit && m_searchTimeLimit->clock &&
           m_searchTimeLimit->clock->now() - m_searchTimeLimit->start > m_searchTimeLimit->limit;
}

void DuplicatesFilter::collapseNamesOfOneFile(std::vector<FileSystemItem*>& items) {
    struct Name {
        platform::FileIdentity file;
        std::string path;
        FileSystemItem* item;
    };
    std::vector<Name> names;
    for (FileSystemItem* item : items)
        if (const auto* file = m_pHardLinks->find(item)) names.push_back({*file, item->path(), item});
    if (names.size() < 2) return;
    std::sort(names.begin(), names.end(),
              [](const Name& a, const Name& b) { return std::tie(a.file, a.path) < std::tie(b.file, b.path); });
    bool collapsed = false;
    for (std::size_t first = 0; first < names.size();) {
        std::size_t end = first + 1;
        while (end < names.size() && names[end].file == names[first].file) ++end;
        if (end - first > 1) {
            std::vector<FileSystemItem*> others;
            for (std::size_t i = first + 1; i < end; ++i) {
                // Checked and in no group: to the folder stages the name is
                // unique content, so a folder holding it is never reported as
                // a copy that removing would free.
                names[i].item->setIsOtherNameOfFile(true);
                names[i].item->setIsCheckedForDuplicates(true);
                others.push_back(names[i].item);
            }
            if (m_pDuplicatesContainer) m_pDuplicatesContainer->addOtherNames(names[first].item, std::move(others));
            collapsed = true;
        }
        first = end;
    }
    if (collapsed) std::erase_if(items, [](const FileSystemItem* item) { return item->isOtherNameOfFile(); });
}

bool DuplicatesFilter::isNeedScanFileItemIncludeHidden(FileSystemItem* item, bool includeHidden) const {
    if (item == nullptr || item->isDir() || item->hasExcludeContent() || item->isCheckedForDuplicates() ||
        item->isInPackage())
        return false;
    if (!includeHidden && item->parent() && item->parent()->isTopHiddenFlag()) return false;
    if (static_cast<std::uint64_t>(std::max<std::int64_t>(item->logicalSize(), 0)) < m_nMinimalDuplicatesFileSize)
        return false;
    const auto& checker = m_pDuplicatesContainer ? m_pDuplicatesContainer->getExcludeChecker() : nullptr;
    return !(checker && checker->isFileItemExcluded(item));
}

std::uint64_t DuplicatesFilter::addFileItemIncludeHidden(FileSystemItem* item, bool includeHidden) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!isNeedScanFileItemIncludeHidden(item, includeHidden)) return 0;
    const std::optional<FileCategory> type = typeOfFileAtPath(item->name());
    ItemsBySize& bySize = type ? m_possibleDuplicates[*type] : m_uncategorizedPossibleDuplicates;
    auto& items = bySize[static_cast<std::uint64_t>(item->logicalSize())];
    items.push_back(item);
    return items.size();
}

void DuplicatesFilter::buildCandidates() {
    std::vector<Candidate> gathered;
    const bool anyHardLinks = m_pHardLinks && !m_pHardLinks->empty();
    if (anyHardLinks) m_pHardLinks->finish();
    // The file categories in their order; folders and files without a
    // category are collected but never compared.
    for (const FileCategory type : kFileContentCategories) {
        for (auto& [size, items] : m_possibleDuplicates[type]) {
            if (items.size() < 2) continue;
            if (anyHardLinks) collapseNamesOfOneFile(items);
            if (items.size() < 2) continue;
            Candidate candidate;
            candidate.key = std::to_string(size) + "_" + std::string(typeKeyOfFileCategory(type));
            candidate.size = size;
            candidate.items = std::move(items);
            gathered.push_back(std::move(candidate));
        }
    }
    m_possibleDuplicates = {};
    m_uncategorizedPossibleDuplicates.clear();

    if (m_bAutoDefineMinimalFileSize) {
        std::stable_sort(gathered.begin(), gathered.end(),
                         [](const Candidate& a, const Candidate& b) { return a.size > b.size; });
        m_groupCountAtAutomaticMinimalSize = gathered.size();
        for (std::size_t i = 0; i < gathered.size(); ++i) {
            if (gathered[i].size < kAutoModeLargeFileSize) {
                m_groupCountAtAutomaticMinimalSize = i + 1;
                break;
            }
        }
    }
    m_candidates = std::move(gathered);
}

std::uint64_t DuplicatesFilter::groupCountAtAutomaticMinimalSize() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_groupCountAtAutomaticMinimalSize;
}

std::uint64_t DuplicatesFilter::getTotalProcessedFiles() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_nTotalProcessedFiles;
}

std::uint64_t DuplicatesFilter::getPossibleDuplicateFoldersSize() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_nPossibleDuplicateFoldersSize;
}

std::vector<std::string> DuplicatesFilter::candidateKeys() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<std::string> keys;
    keys.reserve(m_candidates.size());
    for (const auto& candidate : m_candidates) keys.push_back(candidate.key);
    return keys;
}

void DuplicatesFilter::filterDuplicates(std::optional<SearchTimeLimit> timeLimit) {
    m_pWorkingQueue->async([self = shared_from_this(), timeLimit = std::move(timeLimit)]() mutable {
        self->m_searchTimeLimit = std::move(timeLimit);
        self->buildCandidates();
        std::uint64_t total = 0;
        for (const auto& candidate : self->m_candidates) total += candidate.items.size();
        self->isFilterCanceled = false;
        self->m_nCurrentFilterIndexInKeys = -1;
        // Reported before anything else of the filtering reaches the main queue.
        self->m_mainInbox.post([weak = self->m_pListener, total] {
            if (auto listener = weak.lock()) listener->onDuplicatesFilesFilterStartFilterFiles(total);
        });
        self->filterNextPossibleDuplicates();
    });
}

void DuplicatesFilter::filterNextPossibleDuplicates() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bFinished) return;
    // After a stop nothing more is saved, as if the sets were separated one at a time.
    if (isFilterCanceled) m_bSavingEnded = true;
    // Save what is next in order.
    while (!m_separations.empty() && m_separations.front().reported && !m_bAwaitingListener) {
        Separation separation = std::move(m_separations.front());
        m_separations.pop_front();
        m_bSavingEnded = m_bSavingEnded || separation.stopped;
        if (m_bSavingEnded) continue;
        m_nCurrentFilterIndexInKeys = static_cast<std::int64_t>(separation.candidate);
        saveHashHeapsInContainer(*separation.result);
        m_nFinishedCandidates = separation.candidate + 1;
        if (!pacesSavingByListener()) continue;
        // Behind the reports just sent: whatever the listener queues here in
        // answer to them (a stop) comes first.
        m_bAwaitingListener = true;
        m_mainInbox.post([self = shared_from_this()] {
            self->m_pWorkingQueue->async([self] {
                self->m_bAwaitingListener = false;
                self->filterNextPossibleDuplicates();
            });
        });
    }
    if (isFilterCanceled) {
        // Stopped separations still report (with nothing); the search ends
        // when the last of them has.
        if (m_separations.empty() && !m_bAwaitingListener) finishFilterDuplicates();
        return;
    }
    while (m_nNextCandidate < m_candidates.size() && m_separations.size() < kMaxSeparationsInFlight &&
           m_nFilesInFlight < kMaxFilesInFlight)
        startSeparation(m_nNextCandidate++);
    if (m_separations.empty() && !m_bAwaitingListener) finishFilterDuplicates();
}

void DuplicatesFilter::startSeparation(std::size_t candidateIndex) {
    auto& candidate = m_candidates[candidateIndex];
    if (candidate.items.size() < 2) return;
    m_nTotalProcessedFiles += candidate.items.size();
    m_nFilesInFlight += candidate.items.size();
    Separation& separation = m_separations.emplace_back();
    separation.candidate = candidateIndex;
    separation.fileCount = candidate.items.size();
    separation.separator = FileSeparator::create(m_separationOptions);
    separation.separator->setScanProblems(m_pScanProblems);
    // The set is handed over: the candidate list only keeps its key and size.
    // The separation holds the container, and with it the roots of the
    // items, until it has reported, even when this filter is gone by then.
    separation.separator->separateItemsWithListener(std::move(candidate.items), weak_from_this(),
                                                    m_pDuplicatesContainer);
    candidate.items.clear();
    candidate.items.shrink_to_fit();
}

void DuplicatesFilter::onFinishSeparateItemsByHash(FileSeparator& separator, FileSeparatorMap result) {
    // Called on the separators' working queue: the result moves to this filter's.
    auto holder = std::make_shared<FileSeparatorMap>(std::move(result));
    FileSeparator* reporting = &separator;
    m_resultsInbox->post([self = shared_from_this(), holder, reporting] {
        const auto it = std::find_if(self->m_separations.begin(), self->m_separations.end(),
                                     [&](const Separation& separation) { return separation.separator.get() == reporting; });
        if (it == self->m_separations.end()) return;
        it->separator.reset();
        it->reported = true;
        self->m_nFilesInFlight -= it->fileCount;
        if (!it->stopped) it->result = std::move(*holder);
        self->filterNextPossibleDuplicates();
    });
}

void DuplicatesFilter::saveHashHeapsInContainer(const FileSeparatorMap& result) {
    for (const auto& [key, set] : result) {
        if (set.size() < 2) continue;
        FileSystemItem* any = *set.begin();
        const auto size = static_cast<std::uint64_t>(any->logicalSize());
        m_nCurrentMinimalDuplicatesFileSize = std::min(m_nCurrentMinimalDuplicatesFileSize, size);

        const std::optional<FileCategory> type = typeOfFileAtPath(any->name());
        if (m_pDuplicatesContainer) {
            if (auto category = m_pDuplicatesContainer->getCategoryWithType(type))
                category->addGroupWithItems(std::vector<FileSystemItem*>(set.begin(), set.end()));
        }
        for (FileSystemItem* item : set) updatePossibleDuplicateFolder(item->parent());
        notifyFilteredFiles(static_cast<std::int32_t>(set.size()), size, type);
    }
}

void DuplicatesFilter::updatePossibleDuplicateFolder(FolderSystemItem* folder) {
    if (folder == nullptr || !m_possibleDuplicateFoldersContainer.insert(folder).second) return;
    const std::string hash = folder->sizeAndChildrenCountIdentifier();
    auto [it, isNew] = m_possibleDuplicateFolders.try_emplace(hash, 0);
    if (isNew) return;
    if (it->second != 0) {
        m_nPossibleDuplicateFoldersSize += it->second;
        return;
    }
    std::uint64_t filesSize = 0;
    for (const auto& child : folder->childrenArray())
        if (!child->isDir()) filesSize += static_cast<std::uint64_t>(std::max<std::int64_t>(child->logicalSize(), 0));
    it->second = filesSize;
    m_nPossibleDuplicateFoldersSize += 2 * filesSize;  // the first folder with this hash and this one
}

void DuplicatesFilter::notifyFilteredFiles(std::int32_t count,
                                                                                 std::uint64_t size,
                                                                                 std::optional<FileCategory> type) {
    if (m_pListener.expired()) return;
    // The file categories are compared in list order, so a group of a later
    // one means the one before it is done.
    const bool announceCategory = !m_bAutoDefineMinimalFileSize && type && *type != FileCategory::image &&
                                  *type != FileCategory::folders;
    const float keys = static_cast<float>(m_candidates.size());
    DuplicatesFilterProgress progress;
    progress.totalProgress = keys > 0 ? static_cast<float>(m_nCurrentFilterIndexInKeys) / keys : 0;
    const auto autoCount = m_groupCountAtAutomaticMinimalSize;
    progress.autoDefineProgress =
        autoCount > 0 ? static_cast<float>(m_nCurrentFilterIndexInKeys) / static_cast<float>(autoCount)
                      : progress.totalProgress;
    const auto& heaps = m_pDuplicatesContainer ? m_pDuplicatesContainer->getHeaps() : nullptr;
    const std::uint64_t heapsSize = heaps ? heaps->getPossibleHeapsSize() : 0;
    const std::uint64_t foldersSize = m_nPossibleDuplicateFoldersSize;
    m_mainInbox.post([weak = m_pListener, announceCategory, progress, heapsSize, foldersSize,
                                         count, size, type] {
        auto listener = weak.lock();
        if (!listener) return;
        if (announceCategory)
            listener->onFinishSearchDuplicatesFilesWithType(static_cast<FileCategory>(indexOfFileCategory(*type) - 1));
        listener->onDuplicatesFilesFilterProgressChanged(progress);
        listener->onPossibleFoldersSizeChanged(heapsSize, foldersSize);
        listener->onFilteredFiles(count, size, type);
    });
}

void DuplicatesFilter::finishFilterDuplicates() {
    m_bFinished = true;
    // The sets go largest first (automatic mode): files below the first set
    // not compared to its end may have been left out.
    const std::uint64_t belowUnfinished =
        m_nFinishedCandidates < m_candidates.size() ? m_candidates[m_nFinishedCandidates].size + 1 : 0;
    const bool anyGroup = m_nCurrentMinimalDuplicatesFileSize != UINT64_MAX;
    const std::uint64_t reached =
        anyGroup ? std::max(m_nCurrentMinimalDuplicatesFileSize, belowUnfinished) : belowUnfinished;
    std::uint64_t minimalFileSize = m_nMinimalDuplicatesFileSize;
    if (m_bAutoDefineMinimalFileSize) minimalFileSize = isFilterCanceled ? reached : 0;
    auto listener = m_pListener.lock();
    if (!listener) return;
    m_pListener.reset();
    m_mainInbox.post([listener, container = m_pDuplicatesContainer, minimalFileSize] {
        listener->onFinishFilterWithResultContainer(container, minimalFileSize);
    });
}

void DuplicatesFilter::stopFilterDuplicates() {
    isFilterCanceled = true;
    if (!m_pWorkingQueue) return;
    m_pWorkingQueue->async([self = shared_from_this()] { self->stopSeparationsOnWorkingQueue(); });
}

void DuplicatesFilter::stopSeparationsOnWorkingQueue() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    for (Separation& separation : m_separations) {
        if (separation.reported) continue;
        separation.stopped = true;
        separation.separator->stop();
    }
    filterNextPossibleDuplicates();
}

}  // namespace kestrane
