#include "app/ScanFlowController.h"

#include "platform/Text.h"

#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/Timer.h"
#include "platform/UserFolders.h"
#include "platform/VolumeInfo.h"
#include "scan/ExcludeChecker.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <sys/stat.h>

namespace kestrane {

namespace {

using namespace std::chrono_literals;

constexpr auto kProgressStepInterval = std::chrono::milliseconds(1000 / ScanFlowController::kProgressSteps);
constexpr auto kCountersInterval = 1000ms;
constexpr auto kDescriptionInterval = 50ms;
constexpr auto kShowResultsDelay = 1500ms;
constexpr auto kRescanDelay = 600ms;

const char* const kFullScaleScanTitle = "Full-scale Scan";
const char* const kFullScaleRescanTitle = "Full-scale Rescan Current Folders";

std::string lastPathComponent(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    return slash == std::string::npos || trimmed.size() == 1 ? trimmed : trimmed.substr(slash + 1);
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool containsNtfs(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find("ntfs") != std::string::npos;
}

}  // namespace

std::shared_ptr<ScanFlowController> ScanFlowController::create(Settings settings,
                                                                std::weak_ptr<ScanFlowListener> listener,
                                                                std::weak_ptr<QuestionAsker> questions) {
    return std::make_shared<ScanFlowController>(Key{}, std::move(settings), std::move(listener),
                                                std::move(questions));
}

ScanFlowController::ScanFlowController(Key, Settings settings, std::weak_ptr<ScanFlowListener> listener,
                                       std::weak_ptr<QuestionAsker> questions)
    : m_settings(std::move(settings)),
      m_pListener(std::move(listener)),
      m_pQuestions(std::move(questions)),
      m_queueChecker(platform::MainQueue::shared()) {}

ScanFlowController::~ScanFlowController() {
    stopTimers();
    if (m_pDelayTimer) m_pDelayTimer->invalidate();
    if (m_pScanner) m_pScanner->stopWithIgnoreResult(true);
}

template <typename F>
void ScanFlowController::tellListener(F&& call) {
    if (auto listener = m_pListener.lock()) call(*listener);
}

std::vector<std::string> ScanFlowController::folderPaths() const {
    std::vector<std::string> paths;
    paths.reserve(m_arrFolders.size());
    for (const auto& folder : m_arrFolders) paths.push_back(folder.path);
    return paths;
}

// --- Adding folders -----------------------------------------------------------------

void ScanFlowController::addPaths(const std::vector<std::string>& paths) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const bool idle = !isAddingPaths();
    m_arrPendingBatches.push_back(PathBatch{paths, nullptr});
    if (idle) processNextPath();
}

void ScanFlowController::removeFolderWithPath(const std::string& path) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const auto before = m_arrFolders.size();
    std::erase_if(m_arrFolders, [&](const PickerFolderInfo& folder) { return folder.path == path; });
    if (m_arrFolders.size() == before) return;
    if (m_sCurrentFolderPath == path) m_sCurrentFolderPath = m_arrFolders.empty() ? "" : m_arrFolders.front().path;
    tellListener([](ScanFlowListener& listener) { listener.onFolderListChanged(); });
}

void ScanFlowController::askAndContinue(Question question, std::function<void(Answer)> then) {
    auto questions = m_pQuestions.lock();
    if (!questions) {
        // Nobody to ask: the safe answer (leave the folder out, keep the results).
        then(Answer{question.safeButton, false});
        return;
    }
    m_bWaitingForAnswer = true;
    questions->ask(question, [weak = weak_from_this(), then = std::move(then)](Answer answer) {
        auto self = weak.lock();
        if (!self) return;
        self->m_bWaitingForAnswer = false;
        then(answer);
    });
}

void ScanFlowController::processNextPath() {
    while (!m_bWaitingForAnswer) {
        if (m_arrPendingBatches.empty()) return;
        PathBatch& batch = m_arrPendingBatches.front();
        if (batch.paths.empty()) {
            m_arrPendingBatches.pop_front();
            tellListener([](ScanFlowListener& listener) { listener.onAddPathsFinished(); });
            continue;
        }
        if (!batch.checker) {
            // One exclusion checker per batch, knowing the folders already chosen.
            batch.checker = std::make_shared<ExcludeChecker>(false, m_settings);
            batch.checker->addIncludedFolderPaths(folderPaths());
        }
        const std::string path = batch.paths.back();
        batch.paths.pop_back();
        if (!isDirectory(path)) continue;

        const auto volume = platform::volumeInfoProvider().volumeForPath(path);
        const std::string name = lastPathComponent(path);
        const auto goOn = [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->processNextPath();
        };

        if (volume) {
            const std::string backups = platform::joinPath(volume->mountPoint, "Backups.backupdb");
            if (path == backups || path.starts_with(backups + "/")) {
                askAndContinue({.kind = ScanFlowQuestionKind::backupItems,
                                .title = "Backup items cannot be scanned for duplicates",
                                .text = "Files contained in backup folders cannot be removed to prevent corrupting "
                                        "the backup file system.\nBackup folders were detected and skipped to "
                                        "prevent corrupting the backup file system.",
                                .buttons = {"OK"},
                                .paths = {path}},
                               [goOn](Answer) { goOn(); });
                continue;
            }
            if (volume->isReadOnly) {
                std::string text;
                if (volume->isNtfs || containsNtfs(volume->fileSystemType))
                    text = "The folder is located on NTFS volume, and you will probably have to install a special "
                           "extension to grant a write access.";
                askAndContinue({.kind = ScanFlowQuestionKind::readOnlyFolder,
                                .title = "The folder \"" + name +
                                         "\" is a read only. You can find duplicates but cannot remove them.",
                                .text = text,
                                .buttons = {"Add Folder to Scan", "Read More"},
                                .yesButton = 0,
                                .safeButton = 1,
                                .paths = {path}},
                               [weak = weak_from_this(), path, goOn](Answer answer) {
                                   auto self = weak.lock();
                                   if (self && answer.button == 0) self->addFolder(path);
                                   goOn();
                               });
                continue;
            }
        }
        if (batch.checker->isPathExcluded(path)) {
            askAndContinue({.kind = ScanFlowQuestionKind::skipListedFolder,
                            .title = "The folder \"" + name + "\" is added to the Skip List.",
                            .text = "Would you like to scan the folder anyway?",
                            .buttons = {"Scan Anyway", "Skip"},
                            .yesButton = 0,
                            .safeButton = 1,
                            .paths = {path}},
                           [weak = weak_from_this(), path, goOn](Answer answer) {
                               auto self = weak.lock();
                               if (self && answer.button == 0) self->addFolder(path);
                               goOn();
                           });
            continue;
        }
        addFolder(path);
    }
}

void ScanFlowController::addFolder(const std::string& path) {
    for (const auto& folder : m_arrFolders) {
        if (folder.path == path) {
            m_sCurrentFolderPath = path;
            tellListener([](ScanFlowListener& listener) { listener.onFolderListChanged(); });
            return;
        }
    }
    const std::string_view extension = platform::pathExtension(path);
    if (extension == "app" || extension == "cannedSearch") return;
    m_arrFolders.insert(m_arrFolders.begin(), PickerFolderInfo{path, lastPathComponent(path)});
    m_sCurrentFolderPath = path;
    m_settings.addRecentFolder(path);
    // Linux keeps no per-folder access grants, so the home folder needs nothing more.
    tellListener([](ScanFlowListener& listener) { listener.onFolderListChanged(); });
}

// --- Scanning -----------------------------------------------------------------------

bool ScanFlowController::startScanWithTitle(const std::string& commandTitle) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    m_settings.setActualStateOfFullHashCalculation(commandTitle == kFullScaleScanTitle);
    return startScan();
}

bool ScanFlowController::startScan() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_arrFolders.empty()) {
        tellListener([](ScanFlowListener& listener) { listener.onStartRefusedWithLabel("Add folders to scan"); });
        return false;
    }
    m_arrSelectedFolders = folderPaths();
    m_arrLastSelectedFolders = m_arrSelectedFolders;
    const bool fullHash = m_settings.actualFullHashCalculationState();
    if (m_pScanner) {
        m_pScanner->stopWithIgnoreResult(true);
        m_pScanner.reset();
    }
    stopTimers();
    if (m_pDelayTimer) m_pDelayTimer->invalidate();
    platform::NotificationCenter::defaultCenter().post(kScannerWillStartNotification);

    m_pScanner = FoldersScanner::create(m_arrSelectedFolders, weak_from_this(), m_settings);
    if (!m_pScanner) return false;
    m_pScanner->includeHiddenFiles(m_settings.scanInHiddenFolders());
    m_pScanner->enableSearchDuplicatesFoldersAndSimilars(m_bSearchDuplicatesFoldersAndSimilars);
    if (m_settings.defineMinimalDuplicatesFileSizeAutomatically()) {
        m_pScanner->startScanWithAutomaticMinimalSize(fullHash);
    } else {
        const std::uint64_t size =
            m_settings.defineMinimalDuplicatesFileSizeAsZero() ? 0 : m_settings.minDuplicatesFileSize();
        m_pScanner->startScanWithMinimalSize(size, fullHash);
    }
    setScreen(Screen::scan);
    DuplicatesManager::sharedManager().setScanStartDate(std::chrono::system_clock::now());
    m_dShownProgress = m_dTargetProgress = m_dProgressStep = 0;
    refreshDescription();
    startTimers();
    tellListener([](ScanFlowListener& listener) { listener.onScanStarted(); });
    return true;
}

void ScanFlowController::stopScanWithIgnoreResult(bool ignoreResult) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!m_pScanner) return;
    m_pScanner->stopWithIgnoreResult(ignoreResult);
    if (!ignoreResult) return;  // the scan ends with what it has, through the completion
    m_pScanner.reset();
    stopTimers();
    // Back to the welcome screen, the folder list as it was.
    showWelcomeScreen();
}

void ScanFlowController::onScanCompleteWithResult(std::shared_ptr<DuplicatesContainer> container) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!m_pScanner || !container) return;
    DuplicatesManager& manager = DuplicatesManager::sharedManager();
    manager.setIsBackupsWereSkipped(m_pScanner->isBackupsWereSkipped());
    manager.setMinimalSizeAutomatic(m_pScanner->isMinimalSizeAutomatic());
    manager.setMinimalDuplicatesSize(m_pScanner->finalMinimalDuplicatesSize());

    const std::int64_t totalSize = container->getAllFilesSize();
    stopTimers();
    m_dShownProgress = m_dTargetProgress = 1.0;
    refreshDescription();
    m_pScanner.reset();
    manager.setDuplicateContainer(container);
    manager.setScannedFolders(m_arrLastSelectedFolders);
    manager.setScanFinishDate(std::chrono::system_clock::now());
    manager.setFoundSize(totalSize);

    const bool found = totalSize != 0;
    setScreen(found ? Screen::scan : Screen::noDuplicates);
    tellListener([found](ScanFlowListener& listener) { listener.onScanFinishedWithDuplicates(found); });
    if (found) {
        m_pDelayTimer = platform::Timer::scheduled(kShowResultsDelay, false, [weak = weak_from_this()] {
            auto self = weak.lock();
            if (!self) return;
            self->setScreen(Screen::results);
            self->tellListener([](ScanFlowListener& listener) { listener.onShowResults(); });
        });
    }
}

void ScanFlowController::newScan() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    auto goBack = [weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self) return;
        self->m_arrSelectedFolders.clear();
        self->showWelcomeScreen();
    };
    if (!m_settings.showNewScanMessage()) return goBack();
    askAndContinue({.kind = ScanFlowQuestionKind::newScan,
                    .title = "Are you sure you want to run a new scan?",
                    .text = "Current scan results will be lost.",
                    .buttons = {"OK", "Cancel"},
                    .yesButton = 0,
                    .safeButton = 1,
                    .suppressionTitle = "Do not show this message again"},
                   [weak = weak_from_this(), goBack](Answer answer) {
                       auto self = weak.lock();
                       if (!self || answer.button != 0) return;
                       if (answer.suppress) self->m_settings.setShowNewScanMessage(false);
                       goBack();
                   });
}

void ScanFlowController::rescanWithTitle(const std::string& commandTitle) {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    const bool fullHash = commandTitle == kFullScaleRescanTitle;
    m_settings.setActualStateOfFullHashCalculation(fullHash);
    auto restart = [weak = weak_from_this(), fullHash] {
        auto self = weak.lock();
        if (!self || self->m_eScreen == Screen::welcome) return;
        if (self->m_pScanner) {
            self->m_pScanner->stopWithIgnoreResult(true);
            self->m_pScanner.reset();
            self->stopTimers();
        }
        platform::NotificationCenter::defaultCenter().post(kRestartScanNotification);
        self->showWelcomeScreen();
        self->m_arrFolders.clear();
        // The list shows the last scan's folders again, in their order.
        for (auto it = self->m_arrLastSelectedFolders.rbegin(); it != self->m_arrLastSelectedFolders.rend(); ++it)
            self->m_arrFolders.insert(self->m_arrFolders.begin(), PickerFolderInfo{*it, lastPathComponent(*it)});
        self->tellListener([](ScanFlowListener& listener) { listener.onFolderListChanged(); });
        self->m_settings.setActualStateOfFullHashCalculation(fullHash);
        self->m_pDelayTimer = platform::Timer::scheduled(kRescanDelay, false, [weak = self->weak_from_this()] {
            if (auto again = weak.lock()) again->startScan();
        });
    };
    if (!m_settings.showRestartScanMessage()) return restart();
    askAndContinue({.kind = ScanFlowQuestionKind::rescan,
                    .title = "Are you sure you want to run a rescan?",
                    .text = "Current scan results will be lost.",
                    .buttons = {"OK", "Cancel"},
                    .yesButton = 0,
                    .safeButton = 1,
                    .suppressionTitle = "Don't show this message again"},
                   [weak = weak_from_this(), restart](Answer answer) {
                       auto self = weak.lock();
                       if (!self || answer.button != 0) return;
                       if (answer.suppress) self->m_settings.setShowRestartScanMessage(false);
                       restart();
                   });
}

void ScanFlowController::showWelcomeScreen() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    DuplicatesManager::sharedManager().clearScanBasicInformation();
    setScreen(Screen::welcome);
    platform::NotificationCenter::defaultCenter().post(kBackToWelcomeScreenNotification);
    tellListener([](ScanFlowListener& listener) { listener.onWelcomeShown(); });
}

std::string ScanFlowController::folderCountLabel() const {
    if (m_arrFolders.empty()) return "Add folders to scan";
    const std::size_t count = m_arrFolders.size();
    return std::to_string(count) + (count == 1 ? " folder added" : " folders added");
}

void ScanFlowController::backToInterimScreen() {
    if (m_eScreen != Screen::results) return;
    setScreen(Screen::interim);
    platform::NotificationCenter::defaultCenter().post(kBackToInterimScreenNotification);
    tellListener([](ScanFlowListener& listener) { listener.onScreenChanged(); });
}

void ScanFlowController::showResultsScreen() {
    if (m_eScreen != Screen::interim) return;
    setScreen(Screen::results);
    tellListener([](ScanFlowListener& listener) { listener.onScreenChanged(); });
}

bool ScanFlowController::checkForNoDuplicatesMore() {
    if (m_eScreen != Screen::results) return false;
    const auto& container = DuplicatesManager::sharedManager().duplicateContainer();
    if (container && container->getAllFilesSize() != 0) return false;
    setScreen(Screen::congratulations);
    platform::NotificationCenter::defaultCenter().post(kNoDuplicatesMoreNotification);
    tellListener([](ScanFlowListener& listener) { listener.onScreenChanged(); });
    return true;
}

ScanFlowController::QuitDecision ScanFlowController::decideQuit(bool panelOpenOverResults, bool windowIsKey) const {
    const auto& container = DuplicatesManager::sharedManager().duplicateContainer();
    const bool hasResults = m_eScreen == Screen::results && container &&
                            container->getAllFilesSize() != 0;
    if (!hasResults) return QuitDecision::quitNow;
    if (panelOpenOverResults) return QuitDecision::closePanel;
    return windowIsKey ? QuitDecision::ask : QuitDecision::stay;
}

Question ScanFlowController::quitQuestion() {
    return {.kind = ScanFlowQuestionKind::quit,
            .title = "Are you sure you want to quit the application?",
            .text = "Current scan results will be lost.",
            .buttons = {"OK", "Cancel"},
            .yesButton = 0,
            .safeButton = 1};
}

std::string ScanFlowController::scannedFoldersLine(std::size_t folderCount, const std::string& dateText) {
    return std::to_string(folderCount) + " " + (folderCount == 1 ? "folder was" : "folders were") + " scanned on " +
           dateText + ".";
}

// --- Progress -------------------------------------------------------------------------

double ScanFlowController::targetProgressOfScanner(const FoldersScanner& scanner) {
    const double value = 0.35 * scanner.getDuplicatesFilesFilterProgress() +
                         0.6 * scanner.getDuplicatesFoldersFilterProgress() + 0.05 * scanner.getHeapsFilterProgress();
    return std::clamp(value, 0.0, 1.0);
}

std::string ScanFlowController::descriptionLineOfScanner(const FoldersScanner& scanner) {
    switch (scanner.getCurrentState()) {
        case FoldersScanner::kReadingFolders:
            return "Files scanned:  " + formatNumber(scanner.getCountOfScannedFiles());
        case FoldersScanner::kSearchingDuplicateFiles:
        case FoldersScanner::kSeparatingSimilarFolderItems:
            return "Duplicates found:  " + formatNumber(scanner.getCountOfActualDuplicates());
        case FoldersScanner::kSearchingDuplicateFolders:
        case FoldersScanner::kSearchingSimilarFolders:
            return "Checked folders:  " + formatNumber(scanner.getCountOfCheckedFolders());
        case FoldersScanner::kCompleted:
            return "Done";
        default:
            return "";
    }
}

std::string ScanFlowController::formatNumber(std::uint64_t number) {
    const std::string digits = std::to_string(number);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ' ';
        text += digits[i];
    }
    return text;
}

void ScanFlowController::startTimers() {
    auto weak = weak_from_this();
    m_pCountersTimer = platform::Timer::scheduled(kCountersInterval, true, [weak] {
        if (auto self = weak.lock()) {
            self->checkProgress();
            self->tellListener([](ScanFlowListener& listener) { listener.onCountersChanged(); });
        }
    });
    m_pDescriptionTimer = platform::Timer::scheduled(kDescriptionInterval, true, [weak] {
        if (auto self = weak.lock()) {
            self->refreshDescription();
            self->tellListener([](ScanFlowListener& listener) { listener.onScanStatusChanged(); });
        }
    });
    m_pProgressStepTimer = platform::Timer::scheduled(kProgressStepInterval, true, [weak] {
        if (auto self = weak.lock()) self->stepProgress();
    });
    checkProgress();
}

void ScanFlowController::stopTimers() {
    for (auto* timer : {&m_pCountersTimer, &m_pDescriptionTimer, &m_pProgressStepTimer}) {
        if (*timer) (*timer)->invalidate();
        timer->reset();
    }
}

void ScanFlowController::checkProgress() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (!m_pScanner) return;
    const std::int32_t state = m_pScanner->getCurrentState();
    if (state == FoldersScanner::kCompleted || state == FoldersScanner::kStopped) return;
    m_dTargetProgress = targetProgressOfScanner(*m_pScanner);
    m_dProgressStep = (m_dTargetProgress - m_dShownProgress) / static_cast<double>(kProgressSteps);
}

void ScanFlowController::stepProgress() {
    KESTRANE_CHECK_QUEUE(m_queueChecker);
    if (m_dProgressStep == 0) return;
    m_dShownProgress += m_dProgressStep;
    const bool reached = m_dProgressStep > 0 ? m_dShownProgress >= m_dTargetProgress
                                              : m_dShownProgress <= m_dTargetProgress;
    if (reached) {
        m_dShownProgress = m_dTargetProgress;
        m_dProgressStep = 0;
    }
}

void ScanFlowController::refreshDescription() {
    if (m_pScanner) m_sDescription = descriptionLineOfScanner(*m_pScanner);
    else if (m_dShownProgress >= 1.0) m_sDescription = "Done";
}

}  // namespace kestrane
