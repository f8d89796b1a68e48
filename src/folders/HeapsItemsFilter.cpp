#include "folders/HeapsItemsFilter.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/HeapsValidateProgressListener.h"
#include "folders/DuplicatesHeaps.h"
#include "platform/Clock.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>

namespace kestrane {

namespace {

// Keys holding a single item can find nothing; a map left without any other goes.
template <typename T>
void dropSingleItemKeys(SeparatorMap<T>& map) {
    std::vector<std::string> singles;
    for (const auto& [key, set] : map)
        if (set.size() < 2) singles.push_back(key);
    for (const auto& key : singles) map.erase(key);
}

template <typename Set>
bool firstHasDuplicateItem(const Set& set) {
    return !set.empty() && (*set.begin()) != nullptr && (*set.begin())->getDuplicateItem() != nullptr;
}

}  // namespace

std::shared_ptr<HeapsItemsFilter> HeapsItemsFilter::create(std::weak_ptr<HeapsItemsFilterDelegate> delegate) {
    return std::make_shared<HeapsItemsFilter>(Key{}, std::move(delegate));
}

HeapsItemsFilter::HeapsItemsFilter(Key, std::weak_ptr<HeapsItemsFilterDelegate> delegate)
    : m_clock(platform::Clock::steady()), m_pDelegate(std::move(delegate)) {}

HeapsItemsFilter::~HeapsItemsFilter() = default;

std::shared_ptr<DuplicatesContainer> HeapsItemsFilter::getContainer() const {
    return m_pContainer;
}

bool HeapsItemsFilter::isCanceled() const {
    if (m_bIsStopped.load()) return true;
    const auto delegate = m_pDelegate.lock();
    return !delegate || delegate->isHeapsItemsFilterCanceled();
}

void HeapsItemsFilter::filterUsingContainerIncludeHiddenFiles(std::shared_ptr<DuplicatesContainer> container,
                                                              std::shared_ptr<DuplicatesHeaps> heaps,
                                                              bool includeHiddenFiles, SeparationOptions options) {
    m_pContainer = std::move(container);
    m_pHeaps = std::move(heaps);
    m_options = options;
    m_bIncludeHiddenFiles = includeHiddenFiles;
    filterData();
}

void HeapsItemsFilter::filterData() {
    const auto self = shared_from_this();
    for (;;) {
        const auto delegate = m_pDelegate.lock();
        sm_arrSmallFiles.clear();
        sm_arrSmallFolders.clear();
        sm_arrSmallFoldersKeys.clear();
        bool smallCategoryHadGroups = false;
        if (m_pContainer) {
            m_pContainer->validateEmptyDataAfterRemoveWithListener(
                delegate ? delegate->getHeapsValidateProgressListener() : nullptr);
            if (m_pHeaps && !isCanceled())
                m_pHeaps->collectSmallItemsToCompare(
                    sm_arrSmallFiles, sm_arrSmallFolders, m_pContainer, m_bIncludeHiddenFiles, smallCategoryHadGroups);
        }
        dropSingleItemKeys(sm_arrSmallFiles);
        dropSingleItemKeys(sm_arrSmallFolders);

        if (!sm_arrSmallFiles.empty() || !sm_arrSmallFolders.empty()) {
            if (delegate) delegate->onHeapsItemsFilterStartSeparateItems();
            for (const auto& [key, set] : sm_arrSmallFolders) sm_arrSmallFoldersKeys.push_back(key);
            std::sort(sm_arrSmallFoldersKeys.begin(), sm_arrSmallFoldersKeys.end(),
                      [this](const std::string& a, const std::string& b) {
                          return (*sm_arrSmallFolders.find(a)->begin())->logicalSize() <
                                 (*sm_arrSmallFolders.find(b)->begin())->logicalSize();
                      });
            if (startNextSeparation()) return;
            continue;  // nothing could be started: compute again
        }
        if (!smallCategoryHadGroups) {
            if (m_pContainer) m_pContainer->getSmallDuplicatesCategory()->removeAllGroups();
            if (delegate) delegate->onHeapsItemsFilterFinishedWork();
            return;
        }
        // Small duplicates came back as regular groups: the similar folders changed.
    }
}

bool HeapsItemsFilter::startNextSeparation() {
    if (isCanceled()) return false;
    // Files first, any key.
    while (!sm_arrSmallFiles.empty()) {
        const std::string key = sm_arrSmallFiles.begin()->first;
        auto set = sm_arrSmallFiles.take(key);
        if (set.size() < 2) continue;
        auto separator = FileSeparatorForContainer::create(m_options);
        m_queueChecker.attach(FileSeparator::workingQueue());
        {
            std::lock_guard lock(m_separatorsMutex);
            sm_pAdditionalSeparatorForSmallFiles = separator;
        }
        separator->separateItemsToContainerWithListener(
            std::vector<FileSystemItem*>(set.begin(), set.end()), m_pContainer,
            std::weak_ptr<FileSeparatorForContainerListener>(shared_from_this()));
        if (m_bIsStopped.load()) separator->stop();
        return true;
    }
    // Then the folders, largest first.
    while (!sm_arrSmallFoldersKeys.empty()) {
        const std::string key = std::move(sm_arrSmallFoldersKeys.back());
        sm_arrSmallFoldersKeys.pop_back();
        auto set = sm_arrSmallFolders.take(key);
        if (set.size() < 2) continue;
        auto separator = FolderSeparatorForContainer::create(m_options);
        separator->setClock(m_clock);
        m_queueChecker.attach(FolderSeparator::workingQueue());
        {
            std::lock_guard lock(m_separatorsMutex);
            sm_pAdditionalSeparatorForSmallFolders = separator;
        }
        separator->separateItemsToContainerWithListener(
            std::vector<FolderSystemItem*>(set.begin(), set.end()), m_pContainer,
            std::weak_ptr<FolderSeparatorForContainerListener>(shared_from_this()));
        if (m_bIsStopped.load()) separator->stop();
        return true;
    }
    return false;
}

void HeapsItemsFilter::separateNextItems() {
    if (startNextSeparation()) return;
    sm_arrSmallFiles.clear();
    sm_arrSmallFolders.clear();
    sm_arrSmallFoldersKeys.clear();
    filterData();
}

void HeapsItemsFilter::reportFoundDuplicates(const std::vector<std::size_t>& sizes) {
    const auto delegate = m_pDelegate.lock();
    if (!delegate) return;
    for (const std::size_t size : sizes) delegate->onHeapsItemsFilterFoundDuplicatesCount(size);
}

void HeapsItemsFilter::onFinishFileSeparatorWithResultToContainer(FileSeparatorForContainer& separator,
                                                                  const FileSeparatorMap& result,
                                                                  const std::shared_ptr<DuplicatesContainer>&) {
    {
        std::lock_guard lock(m_separatorsMutex);
        if (sm_pAdditionalSeparatorForSmallFiles.get() != &separator) return;
        sm_pAdditionalSeparatorForSmallFiles.reset();
    }
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<std::size_t> found;
    for (const auto& [key, set] : result)
        if (set.size() >= 2 && firstHasDuplicateItem(set)) found.push_back(set.size());
    reportFoundDuplicates(found);
    separateNextItems();
}

void HeapsItemsFilter::updateCountOfCheckedFolders(std::uint64_t) {
    // The folders compared here are not counted as similar folders checked.
}

void HeapsItemsFilter::onFinishFolderSeparatorWithResultToContainer(FolderSeparatorForContainer& separator,
                                                                    const FolderSets& result,
                                                                    const std::shared_ptr<DuplicatesContainer>&) {
    {
        std::lock_guard lock(m_separatorsMutex);
        if (sm_pAdditionalSeparatorForSmallFolders.get() != &separator) return;
        sm_pAdditionalSeparatorForSmallFolders.reset();
    }
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    std::vector<std::size_t> found;
    for (const auto& set : result)
        if (set.size() >= 2 && firstHasDuplicateItem(set)) found.push_back(set.size());
    reportFoundDuplicates(found);
    separateNextItems();
}

void HeapsItemsFilter::stopHeapsAdditionalSmallFilesSearch() {
    m_bIsStopped.store(true);
    std::shared_ptr<FileSeparatorForContainer> files;
    std::shared_ptr<FolderSeparatorForContainer> folders;
    {
        std::lock_guard lock(m_separatorsMutex);
        files = sm_pAdditionalSeparatorForSmallFiles;
        folders = sm_pAdditionalSeparatorForSmallFolders;
    }
    if (files) files->stop();
    if (folders) folders->stop();
}

}  // namespace kestrane
