#include "cli/CommandScan.h"

#include "app/ScanFlowController.h"
#include "cli/ExitStatus.h"
#include "cli/FolderArguments.h"
#include "cli/ReportFile.h"
#include "cli/TerminalQuestions.h"
#include "duplicates/DuplicatesManager.h"
#include "platform/MainQueue.h"
#include "platform/PreferencesStore.h"
#include "platform/Timer.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace kestrane::cli {

namespace {

using namespace std::chrono_literals;

// Ctrl-C: the first is seen by a timer of the command, the second ends the
// process at once. Only the handler and interruptCount() touch this.
std::atomic<int> g_interrupts{0};

void onInterrupt(int) {
    if (g_interrupts.fetch_add(1) + 1 >= 2) {
        ReportFile::removeTemporaryFileFromSignalHandler();  // a half-written report
        const char message[] = "\nkestrane: interrupted\n";
        [[maybe_unused]] auto written = ::write(STDERR_FILENO, message, sizeof message - 1);
        ::_exit(kExitInterrupted);
    }
}

// Applies the options that override preferences, for this process only.
void applyOverrides(const ScanCommandOptions& options, Settings& settings) {
    auto store = settings.store();
    using Size = ScanCommandOptions::MinimalSize;
    switch (options.minimalSize) {
        case Size::stored:
            break;
        case Size::automatic:
            store->setTransientObject(Settings::kKeyDefineMinimalDuplicatesFileSizeAutomatically, true);
            break;
        case Size::all:
            store->setTransientObject(Settings::kKeyDefineMinimalDuplicatesFileSizeAutomatically, false);
            store->setTransientObject(Settings::kKeyDefineMinimalDuplicatesFileSizeAsZero, true);
            break;
        case Size::fixed:
            store->setTransientObject(Settings::kKeyDefineMinimalDuplicatesFileSizeAutomatically, false);
            store->setTransientObject(Settings::kKeyDefineMinimalDuplicatesFileSizeAsZero, false);
            store->setTransientObject(Settings::kKeyMinDuplicatesFileSize, options.minimalSizeBytes);
            break;
    }
    if (options.includeHidden) store->setTransientObject(Settings::kKeyScanInHiddenFolders, *options.includeHidden);
    if (options.fullHash) settings.setActualStateOfFullHashCalculation(*options.fullHash);
    // The folders of auto-select, resolved as the scanned folders are, so
    // that they name the same paths the copies have.
    const auto folderList = [](const std::vector<std::string>& given) {
        nlohmann::json list = nlohmann::json::array();
        for (const std::string& folder : given) list.push_back(absolutePath(folder));
        return list;
    };
    if (options.alwaysSelectFolders)
        store->setTransientObject(Settings::kKeyAutoAlwaysSelectFolders, folderList(*options.alwaysSelectFolders));
    if (options.neverSelectFolders)
        store->setTransientObject(Settings::kKeyAutoNeverSelectFolders, folderList(*options.neverSelectFolders));
}

}  // namespace

// Shows the scan on the error stream and notes how it ended.
class ScanPresenter final : public ScanFlowListener {
public:
    ScanPresenter(bool showProgress, std::ostream& err) : m_bShowProgress(showProgress), m_err(err) {}

    void attach(std::shared_ptr<ScanFlowController> flow) { m_pFlow = std::move(flow); }
    void onScanStarted() override {
        if (auto flow = m_pFlow.lock()) scanner = flow->scanner();
    }
    void onScanStatusChanged() override {
        auto flow = m_pFlow.lock();
        if (!m_bShowProgress || !flow) return;
        char percent[16];
        std::snprintf(percent, sizeof percent, "%3.0f%%", flow->shownProgress() * 100.0);
        m_err << "\r\033[K" << percent << "  " << flow->descriptionLine() << std::flush;
        m_bLineShown = true;
    }
    void onScanFinishedWithDuplicates(bool) override {
        clearLine();
        finished = true;
        platform::MainQueue::shared().stop();
    }
    void clearLine() {
        if (m_bLineShown) m_err << "\r\033[K" << std::flush;
        m_bLineShown = false;
    }

    std::shared_ptr<FoldersScanner> scanner;
    bool finished = false;

private:
    bool m_bShowProgress;
    bool m_bLineShown = false;
    std::ostream& m_err;
    std::weak_ptr<ScanFlowController> m_pFlow;
};

CommandScan::CommandScan(const ScanCommandOptions& options, std::ostream& err)
    : m_options(options), m_err(err), m_settings(Settings::standard()) {
    applyOverrides(m_options, m_settings);
}

CommandScan::~CommandScan() = default;

bool CommandScan::resolveFolders() {
    m_folders.clear();
    bool good = true;
    for (const auto& given : m_options.folders) {
        const std::string path = absolutePath(given);
        if (const std::string problem = folderProblem(path); !problem.empty()) {
            m_err << "kestrane: " << given << ": " << problem << "\n";
            good = false;
        }
        m_folders.push_back(path);
    }
    return good;
}

void CommandScan::installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART;  // a read or write under way goes on after the first press
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
}

int CommandScan::interruptCount() { return g_interrupts.load(); }

int CommandScan::run(OnInterrupt onInterrupt) {
    const bool interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
    m_presenter = std::make_shared<ScanPresenter>(m_options.progress && ::isatty(STDERR_FILENO), m_err);
    m_questions = std::make_shared<TerminalQuestions>(m_options.answers, interactive, std::cin, m_err);
    m_flow = ScanFlowController::create(m_settings, m_presenter, m_questions);
    m_presenter->attach(m_flow);
    m_flow->setSearchDuplicatesFoldersAndSimilars(m_options.folderStages);
    // The flow takes the last path first and puts each new folder in front,
    // so the list keeps the order of the command line.
    m_flow->addPaths(m_folders);
    if (m_flow->folderList().empty()) {
        m_err << "kestrane: nothing to scan: every folder named was left out\n";
        return kExitNothingToScan;
    }

    installInterruptHandler();
    if (!m_flow->startScan()) {
        m_err << "kestrane: the scan could not start\n";
        return kExitFailure;
    }
    bool abandoned = false;
    auto interruptWatch = platform::Timer::scheduled(50ms, true, [&] {
        if (g_interrupts.load() == 0 || m_stopped || abandoned) return;
        m_presenter->clearLine();
        if (onInterrupt == OnInterrupt::abandon) {
            abandoned = true;
            m_err << "kestrane: stopped; nothing was changed\n";
            m_flow->stopScanWithIgnoreResult(true);
            platform::MainQueue::shared().stop();
            return;
        }
        m_stopped = true;
        m_err << "kestrane: stopping; the report will show what was found so far (Ctrl-C again to quit)\n";
        m_flow->stopScanWithIgnoreResult(false);
    });
    platform::MainQueue::shared().run();
    interruptWatch.reset();  // no timer thread stays behind while the result is used

    if (abandoned) return kExitInterrupted;
    m_scanner = m_presenter->scanner;
    m_container = DuplicatesManager::sharedManager().duplicateContainer();
    if (!m_presenter->finished || !m_container || !m_scanner) {
        m_err << "kestrane: the scan ended without a result\n";
        return kExitFailure;
    }
    return kExitSuccess;
}

void CommandScan::releaseFlow() { m_flow.reset(); }

}  // namespace kestrane::cli
