#include "app/FoldersScanner.h"

#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/FileCategory.h"
#include "duplicates/FileSeparator.h"
#include "folders/DuplicatesHeaps.h"
#include "platform/Clock.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"
#include "platform/SerialQueue.h"
#include "platform/FileIdentity.h"
#include "platform/UserFolders.h"
#include "platform/VolumeInfo.h"
#include "scan/ExcludeChecker.h"
#include "scan/ExcludeTreeCheckerByRootNode.h"
#include "scan/VolumeSystemItem.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <sys/stat.h>

namespace kestrane {

namespace {

std::string withTrailingSlash(std::string path) {
    if (path.empty() || path.back() != '/') path.push_back('/');
    return path;
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() >= 2 && path.back() == '/') path.pop_back();
    return path;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The folder a chosen path names, symbolic links resolved; the path as given
// when it cannot be resolved.
std::string resolvedPath(const std::string& given) {
    std::string path = given;
    if (char* resolved = ::realpath(given.c_str(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    return path;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::shared_ptr<FoldersScanner> FoldersScanner::create(std::vector<std::string> paths,
                                                       std::weak_ptr<FoldersScannerListener> listener,
                                                       Settings settings) {
    auto scanner = std::make_shared<FoldersScanner>(Private{}, std::move(paths), std::move(listener),
                                                    std::move(settings));
    scanner->_heapItemsFilter = HeapsItemsFilter::create(scanner->weak_from_this());
    return scanner;
}

FoldersScanner::FoldersScanner(Private, std::vector<std::string> paths, std::weak_ptr<FoldersScannerListener> listener,
                               Settings settings)
    : m_settings(std::move(settings)),
      m_pListener(std::move(listener)),
      _userSelectedPaths(std::move(paths)),
      m_queueChecker(platform::MainQueue::shared()),
      m_pDuplicatesFilterWorkingQueue(platform::SerialQueue::create("kestrane.duplicates.search")),
      m_searchQueueChecker(*m_pDuplicatesFilterWorkingQueue),
      m_clock(platform::Clock::steady()) {
    const auto& volumes = platform::volumeInfoProvider();
    m_foldersForScan = chooseTopFolders(_userSelectedPaths, volumes);
    _isBackupsWereSkipped = isContainsBackups(volumes);
}

std::vector<std::string> FoldersScanner::chooseTopFolders(const std::vector<std::string>& paths,
                                                          const platform::VolumeInfoProvider& volumes) {
    // Each chosen folder as what it is on disk: its real path (symbolic links
    // resolved, the chosen folder itself included) and its identity, so that
    // a folder reached through a link, or a bind mount of it, counts once.
    // A path that cannot be resolved stays as given (its reading will fail
    // and say so).
    struct Chosen {
        std::string path;  // with a trailing slash
        std::optional<platform::FileIdentity> identity;
    };
    // Volumes in the order they are first met; paths of each in the order given.
    std::vector<std::pair<std::string, std::vector<Chosen>>> byVolume;
    for (const auto& given : paths) {
        if (given.empty()) continue;
        const std::string path = resolvedPath(given);
        const auto volume = volumes.volumeForPath(path);
        if (!volume) continue;
        auto it = std::find_if(byVolume.begin(), byVolume.end(),
                               [&](const auto& entry) { return entry.first == volume->mountPoint; });
        if (it == byVolume.end()) it = byVolume.insert(byVolume.end(), {volume->mountPoint, {}});
        it->second.push_back({withTrailingSlash(path), platform::identityOfPath(path)});
    }
    std::vector<std::string> top;
    std::vector<platform::FileIdentity> kept;
    for (const auto& [mountPoint, list] : byVolume) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            bool keep = true;
            for (std::size_t j = 0; j < list.size() && keep; ++j) {
                if (i == j) continue;
                if (list[j].path == list[i].path)
                    keep = j > i;  // of equal paths the first stays
                else if (list[i].path.starts_with(list[j].path))
                    keep = false;  // inside another chosen folder
            }
            // The same folder under another path (a bind mount): the first stays.
            if (keep && list[i].identity)
                keep = std::find(kept.begin(), kept.end(), *list[i].identity) == kept.end();
            if (!keep) continue;
            if (list[i].identity) kept.push_back(*list[i].identity);
            top.push_back(withoutTrailingSlashes(list[i].path));
        }
    }
    return top;
}

bool FoldersScanner::isContainsBackups(const platform::VolumeInfoProvider& volumes) const {
    if (!m_settings.excludeTimeMachineBackups()) return false;
    for (const auto& folder : m_foldersForScan) {
        const auto volume = volumes.volumeForPath(folder);
        if (!volume) continue;
        const std::string backups = platform::joinPath(volume->mountPoint, "Backups.backupdb");
        const bool inside = folder == "/" || backups.starts_with(withTrailingSlash(folder));
        if (inside && exists(backups)) return true;
    }
    return false;
}

void FoldersScanner::startScanWithAutomaticMinimalSize(bool fullHash) {
    startScanWithMinimalSize(kAutoDefineMinimalFileSize, fullHash);
}

void FoldersScanner::startScanWithMinimalSize(std::uint64_t minimalFileSize, bool fullHash) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_eCurrentState != kCreated) return;
    // Taken once: a setting changed during the scan, or another scan with
    // other options, leaves the keys of this one as they are.
    m_separationOptions = SeparationOptions::fromSettings(m_settings, fullHash);
    m_nDuplicatesMinimalFileSize = minimalFileSize;

    auto checker = std::make_shared<ExcludeChecker>(true, m_settings);
    // Chosen folders are read at their real paths: what the person chose is
    // included under those paths (and under the paths as given).
    std::vector<std::string> included = _userSelectedPaths;
    for (const auto& path : _userSelectedPaths) included.push_back(resolvedPath(path));
    checker->addIncludedFolderPaths(included);
    // The filter counts sizes as signed 64-bit numbers, as files have them: a
    // minimal size beyond the largest possible file is that largest size (no
    // file is compared), never a negative number.
    constexpr auto kLargestFileSize = std::numeric_limits<std::int64_t>::max();
    const std::int64_t filterSize =
        isMinimalSizeAutomatic()
            ? -1
            : static_cast<std::int64_t>(std::min<std::uint64_t>(minimalFileSize, kLargestFileSize));
    std::shared_ptr<HeapsCollection> heaps;
    if (m_bSearchDuplicatesFoldersAndSimilars) {
        m_pSimilarFolders = DuplicatesHeaps::create();
        m_pSimilarFolders->setClock(m_clock);
        heaps = m_pSimilarFolders;
    }
    m_pDuplicatesFilter = DuplicatesFilter::create(filterSize, std::move(heaps), checker, m_separationOptions);
    m_pDuplicatesFilter->setWorkingQueue(m_pDuplicatesFilterWorkingQueue);
    m_pDuplicatesFilter->setListener(weak_from_this());
    m_nFinalMinimalDuplicatesSize = filterSize < 0 ? 0 : static_cast<std::uint64_t>(filterSize);
    m_pDuplicatesFilterWorkingQueue->async(
        [self = shared_from_this(), feed = SearchFeed{m_pDuplicatesFilter, m_bIncludeHiddenFiles}] {
            self->m_searchFeed = feed;
        });

    auto context = std::make_shared<FolderScanContext>();
    for (const auto& folder : m_foldersForScan)
        if (const auto identity = platform::identityOfPath(folder)) context->chosenFolders.push_back(*identity);
    context->includeHidden = m_bIncludeHiddenFiles;
    m_pDuplicatesFilter->setScanContext(context->hardLinks, context->problems);
    if (const auto& container = m_pDuplicatesFilter->getContainer()) container->setScanProblems(context->problems);
    m_pScanContext = std::move(context);
    _excludeTreeChecker = checker->buildTreeChecker();

    _startScanDate = Clock::now();
    setState(kReadingFolders);
    scanNextFolder();
}

void FoldersScanner::scanNextFolder() {
    const std::size_t next = m_scannedFolders.size();
    if (next >= m_foldersForScan.size() || m_eCurrentState == kStopped) {
        m_pCurrentScannerIdentity = nullptr;
        startFilterDuplicatesFiles();
        return;
    }
    m_scannedFolders.push_back(m_foldersForScan[next]);
    // The scanner may report before create() returns: its identity is known only afterwards,
    // so batches are accepted from any scanner until then (there is only ever one at a time).
    m_pCurrentScannerIdentity = nullptr;
    m_pCurrentScanner = FolderScanner::create(m_foldersForScan[next], _excludeTreeChecker, weak_from_this(),
                                               m_pScanContext);
    m_pCurrentScannerIdentity = m_pCurrentScanner.get();
}

void FoldersScanner::onScannerFoundFiles(FolderScanner& scanner, std::vector<FileSystemItem*> files) {
    // On a reading worker: only the atomic identity and the search queue (set
    // when this scanner was made) are read here.
    const FolderScanner* current = m_pCurrentScannerIdentity;
    if (current != nullptr && current != &scanner) return;
    auto holder = std::make_shared<std::vector<FileSystemItem*>>(std::move(files));
    m_pDuplicatesFilterWorkingQueue->async([self = shared_from_this(), holder] {
        self->addFilesBatch(std::move(*holder));
    });
}

void FoldersScanner::addFilesBatch(std::vector<FileSystemItem*> files) {
    KESTRANE_CHECK_QUEUE(m_searchQueueChecker);
    PerCategory<std::uint64_t> sizes;
    std::uint64_t possible = 0;
    for (FileSystemItem* item : files) {
        const std::uint64_t r = m_searchFeed.filter->addFileItemIncludeHidden(item, m_searchFeed.includeHidden);
        if (r < 2) continue;
        const std::uint64_t multiplier = r == 2 ? 2 : 1;
        if (const std::optional<FileCategory> type = typeOfFileAtPath(item->name()))
            sizes[*type] += multiplier * static_cast<std::uint64_t>(std::max<std::int64_t>(item->logicalSize(), 0));
        possible += multiplier;
    }
    const std::uint64_t scanned = files.size();
    platform::MainQueue::shared().async([self = shared_from_this(), sizes, possible, scanned] {
        for (const FileCategory type : kAllFileCategories) self->m_possibleDuplicatesSizes[type] += sizes[type];
        self->m_nCountOfPossibleDuplicates += possible;
        self->m_nCountOfScannedFiles += scanned;
    });
}

void FoldersScanner::onScannerCompletedScanItem(FolderScanner& scanner, std::shared_ptr<VolumeSystemItem> root) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (&scanner != m_pCurrentScanner.get()) return;
    if (root) m_roots.push_back(std::move(root));
    scanNextFolder();
}

void FoldersScanner::startFilterDuplicatesFiles() {
    // Through the working queue and back, so that every batch already queued
    // has been added and counted before the search starts.
    m_pDuplicatesFilterWorkingQueue->async([self = shared_from_this()] {
        platform::MainQueue::shared().async([self] {
            for (auto& root : self->m_roots) root->calculateTreeSizes();
            // Every folder has been read: from now on the container owns the
            // tree too, so the search (and the groups it adds) keeps its items
            // alive when a scan whose result is ignored goes away before it ends.
            if (const auto& container = self->m_pDuplicatesFilter->getContainer())
                container->saveRoots(self->m_roots);
            self->m_startSearchDuplicatesDate = self->m_clock->now();
            self->setState(kSearchingDuplicateFiles);
            self->m_pDuplicatesFilter->filterDuplicates(DuplicatesFilter::SearchTimeLimit{
                self->m_clock, *self->m_startSearchDuplicatesDate, kAutoModeSearchTimeLimit});
        });
    });
}

void FoldersScanner::onDuplicatesFilesFilterStartFilterFiles(std::uint64_t) {}

void FoldersScanner::onFinishSearchDuplicatesFilesWithType(FileCategory type) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_searchDuplicatesStates[type] = true;
}

void FoldersScanner::onDuplicatesFilesFilterProgressChanged(DuplicatesFilterProgress progress) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_duplicatesFilesFilterProgress = progress;
}

void FoldersScanner::onPossibleFoldersSizeChanged(std::uint64_t heapsSize,
                                                                                   std::uint64_t foldersSize) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!m_bSearchDuplicatesFoldersAndSimilars) return;
    m_nPossibleHeapsSize = heapsSize;
    m_possibleDuplicatesSizes[FileCategory::folders] = foldersSize;
}

void FoldersScanner::onFilteredFiles(std::int32_t count, std::uint64_t size,
                                                             std::optional<FileCategory> type) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (type) m_actualDuplicatesSizes[*type] += static_cast<std::uint64_t>(count) * size;
    m_nCountOfActualDuplicates += static_cast<std::uint64_t>(count);
    if (isMinimalSizeAutomatic() && size < kAutoModeStopBelowSize &&
        m_startSearchDuplicatesDate &&
        m_clock->now() - *m_startSearchDuplicatesDate > kAutoModeSearchTimeLimit) {
        m_pDuplicatesFilterWorkingQueue->async([filter = m_pDuplicatesFilter] { filter->stopFilterDuplicates(); });
    }
}

void FoldersScanner::onUpdateSizesUsingContainer(const std::shared_ptr<DuplicatesContainer>& container) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    for (const FileCategory type : kFileContentCategories) {
        const auto category = container->getCategoryWithType(type);
        const auto total = category ? static_cast<std::uint64_t>(std::max<std::int64_t>(category->getTotalSize(), 0)) : 0;
        m_possibleDuplicatesSizes[type] = total;
        m_actualDuplicatesSizes[type] = total;
    }
}

void FoldersScanner::onFinishFilterWithResultContainer(std::shared_ptr<DuplicatesContainer> container,
                                                       std::uint64_t minimalFileSize) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_nFinalMinimalDuplicatesSize = minimalFileSize;
    if (m_eCurrentState != kStopped && m_bSearchDuplicatesFoldersAndSimilars) {
        startFilterDuplicatesFoldersInContainer(std::move(container));
        return;
    }
    startSimilarFolders(std::move(container));
}

void FoldersScanner::startFilterDuplicatesFoldersInContainer(std::shared_ptr<DuplicatesContainer> container) {
    // The folder stage compares folders from the size the file search
    // reached: every size after an automatic search that ran to its end
    // (without the time limit of the folder stage's own automatic mode), the
    // size reached when the time limit stopped it.
    const auto folderMinimalSize = static_cast<std::int64_t>(m_nFinalMinimalDuplicatesSize);
    m_pDuplicatesFolderFilter = DuplicatesFolderFilter::create(std::move(container), folderMinimalSize, m_separationOptions);
    m_pDuplicatesFolderFilter->setListener(weak_from_this());
    m_pDuplicatesFolderFilter->setClock(m_clock);
    setState(kSearchingDuplicateFolders);
    m_pDuplicatesFolderFilter->findFoldersDuplicatesInRootsIncludeHidden(m_roots, m_bIncludeHiddenFiles);
}

void FoldersScanner::onDuplicateFoldersProgress(
    std::uint64_t totalSize, float progress, std::uint64_t countOfCheckedFolders) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_actualDuplicatesSizes[FileCategory::folders] = totalSize;
    m_duplicatesFolderFilterProgress = progress;
    m_bFolderFilterReportedProgress = true;
    m_nCountOfCheckedFolders = countOfCheckedFolders;
}

void FoldersScanner::onDuplicateFoldersFiltered(std::shared_ptr<DuplicatesContainer> container) {
    // On a background queue: back to the main queue, which owns what the next stage reads.
    platform::MainQueue::shared().async([self = shared_from_this(), container = std::move(container)]() mutable {
        self->startSimilarFolders(std::move(container));
    });
}

void FoldersScanner::startSimilarFolders(std::shared_ptr<DuplicatesContainer> container) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_eCurrentState != kStopped) setState(kSearchingSimilarFolders);
    // The container has held the roots since the duplicate search began. The
    // stage runs on a background thread, never on the main one, with what it
    // needs taken here.
    platform::backgroundQueue().async([filter = _heapItemsFilter, container = std::move(container),
                                       heaps = m_pSimilarFolders, includeHidden = m_bIncludeHiddenFiles,
                                       options = m_separationOptions, clock = m_clock]() mutable {
        filter->setClock(std::move(clock));
        filter->filterUsingContainerIncludeHiddenFiles(std::move(container), std::move(heaps), includeHidden,
                                                       options);
    });
}

std::shared_ptr<HeapsValidateProgressListener> FoldersScanner::getHeapsValidateProgressListener() {
    return shared_from_this();
}

bool FoldersScanner::isHeapsItemsFilterCanceled() {
    return m_eCurrentState == kStopped || !m_bSearchDuplicatesFoldersAndSimilars;
}

bool FoldersScanner::isHeapsValidationCanceled() {
    return m_eCurrentState == kStopped;
}

void FoldersScanner::onHeapsItemsFilterStartSeparateItems() {
    platform::MainQueue::shared().async([self = shared_from_this()] {
        if (self->m_eCurrentState != kStopped) self->setState(kSeparatingSimilarFolderItems);
    });
}

void FoldersScanner::onHeapsItemsFilterFoundDuplicatesCount(std::uint64_t count) {
    m_nCountOfSmallDuplicatesInHeaps += count;
}

void FoldersScanner::onHeapsCheckedFolders(std::uint64_t count) {
    m_nCountOfCheckedFoldersInHeaps += count;
}

void FoldersScanner::onHeapsSizeChangedWithProgress(std::uint64_t size, float progress) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_heapsFilterProgress = progress;
    m_bHeapsFilterReportedProgress = true;
    m_nActualHeapsSize = size;
}

void FoldersScanner::onHeapsItemsFilterFinishedWork() {
    auto container = _heapItemsFilter->getContainer();
    platform::MainQueue::shared().async([self = shared_from_this(), container] {
        // From here on the result belongs to the main queue.
        if (container) container->attachToQueue(platform::MainQueue::shared());
        self->setState(kCompleted);
        if (auto listener = self->m_pListener.lock()) listener->onScanCompleteWithResult(container);
    });
}

void FoldersScanner::stopWithIgnoreResult(bool ignoreResult) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const std::int32_t state = m_eCurrentState;
    if (state == kCompleted || state == kStopped) return;
    if (ignoreResult) m_pListener.reset();
    switch (state) {
        case kReadingFolders:
            if (m_pCurrentScanner) m_pCurrentScanner->cancel();
            break;
        case kSearchingDuplicateFiles:
            m_pDuplicatesFilterWorkingQueue->async([filter = m_pDuplicatesFilter] { filter->stopFilterDuplicates(); });
            break;
        case kSearchingDuplicateFolders:
            if (m_pDuplicatesFolderFilter) m_pDuplicatesFolderFilter->stop();
            break;
        case kSearchingSimilarFolders:
        case kSeparatingSimilarFolderItems:
            _heapItemsFilter->stopHeapsAdditionalSmallFilesSearch();
            break;
        default:
            break;
    }
    setState(kStopped);
}

void FoldersScanner::setState(State state) {
    std::int64_t never = 0;
    m_stateEnteredAt[state].compare_exchange_strong(never, Clock::now().time_since_epoch().count());
    m_eCurrentState = state;
}

std::array<double, FoldersScanner::kStageCount> FoldersScanner::getStageDurations() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    // A stage begins when the first of its states (or a later one) is
    // entered; the scan's last stage ends at completion or stop.
    static constexpr std::array<std::int32_t, kStageCount + 1> kFirstStateOfStage = {
        kReadingFolders, kSearchingDuplicateFiles, kSearchingDuplicateFolders, kSearchingSimilarFolders, kCompleted};
    auto boundary = [&](int stage) -> std::int64_t {
        std::int64_t earliest = 0;
        for (std::int32_t state = kFirstStateOfStage[stage]; state <= kStopped; ++state) {
            const std::int64_t at = m_stateEnteredAt[state];
            if (at != 0 && (earliest == 0 || at < earliest)) earliest = at;
        }
        return earliest;
    };
    std::array<double, kStageCount> durations{};
    const std::int64_t now = Clock::now().time_since_epoch().count();
    for (int stage = 0; stage < kStageCount; ++stage) {
        const std::int64_t begin = boundary(stage);
        if (begin == 0) continue;
        std::int64_t end = boundary(stage + 1);
        if (end == 0) end = now;
        durations[stage] = std::chrono::duration<double>(Clock::duration(std::max<std::int64_t>(0, end - begin))).count();
    }
    return durations;
}

std::uint64_t FoldersScanner::getCountOfActualDuplicates() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_nCountOfActualDuplicates + m_nCountOfSmallDuplicatesInHeaps;
}

std::uint64_t FoldersScanner::getCountOfCheckedFolders() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_nCountOfCheckedFolders + m_nCountOfCheckedFoldersInHeaps;
}

std::uint64_t FoldersScanner::getPossibleDuplicatesSizeOfType(FileCategory type) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return std::max(m_possibleDuplicatesSizes[type], m_actualDuplicatesSizes[type]);
}

std::uint64_t FoldersScanner::getActualDuplicatesSizeOfType(FileCategory type) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_actualDuplicatesSizes[type];
}

bool FoldersScanner::isFinishSearchDuplicatesOfType(FileCategory type) const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const std::int32_t state = m_eCurrentState;
    if (state == kReadingFolders || state == kSearchingDuplicateFiles) return m_searchDuplicatesStates[type];
    return true;
}

std::uint64_t FoldersScanner::getPossibleHeapsSize() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return std::max(m_nPossibleHeapsSize, m_nActualHeapsSize);
}

float FoldersScanner::getDuplicatesFilesFilterProgress() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bFolderFilterReportedProgress) return 1.0f;
    if (isMinimalSizeAutomatic()) {
        const double limit = std::chrono::duration<double>(kAutoModeSearchTimeLimit).count();
        const double elapsed =
            m_startSearchDuplicatesDate
                ? std::chrono::duration<double>(m_clock->now() - *m_startSearchDuplicatesDate).count()
                : 0.0;
        const float byTime = limit > 0 ? static_cast<float>(std::min(1.0, elapsed / limit)) : 1.0f;
        return std::min(byTime, m_duplicatesFilesFilterProgress.autoDefineProgress);
    }
    return m_duplicatesFilesFilterProgress.totalProgress;
}

float FoldersScanner::getDuplicatesFoldersFilterProgress() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_bHeapsFilterReportedProgress) return 1.0f;
    return m_duplicatesFolderFilterProgress;
}

double FoldersScanner::getSearchDuplicatesDuration() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_startSearchDuplicatesDate
               ? std::chrono::duration<double>(m_clock->now() - *m_startSearchDuplicatesDate).count()
               : 0.0;
}

double FoldersScanner::getTimeFromStart() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return _startScanDate ? secondsSince(*_startScanDate) : -1.0;
}

std::uint64_t FoldersScanner::finalMinimalDuplicatesSize() const {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    return m_nFinalMinimalDuplicatesSize;
}

}  // namespace kestrane
