#pragma once

#include "app/FoldersScanner.h"
#include "platform/Question.h"
#include "platform/QueueChecker.h"
#include "settings/Settings.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {

class DuplicatesContainer;
class ExcludeChecker;

namespace platform {
class Timer;
}

// One folder of the folder list.
struct PickerFolderInfo {
    std::string path;
    std::string name;  // the last path component, for display
};

// The kinds of question the flow asks (Question::kind).
namespace ScanFlowQuestionKind {
inline constexpr const char* backupItems = "scan.backupItems";
inline constexpr const char* readOnlyFolder = "scan.readOnlyFolder";
inline constexpr const char* skipListedFolder = "scan.skipListedFolder";
inline constexpr const char* newScan = "scan.newScan";
inline constexpr const char* rescan = "scan.rescan";
inline constexpr const char* quit = "app.quit";
}  // namespace ScanFlowQuestionKind

// What a presenter hears from the flow, on the main thread.
class ScanFlowListener {
public:
    virtual ~ScanFlowListener() = default;
    virtual void onFolderListChanged() {}
    // Every path of a batch given to addPaths has been dealt with.
    virtual void onAddPathsFinished() {}
    // Start was asked with an empty folder list; `label` says why.
    virtual void onStartRefusedWithLabel(const std::string& /*label*/) {}
    virtual void onScanStarted() {}
    // Every 0.05 s while a scan runs: shownProgress() and descriptionLine() may have changed.
    virtual void onScanStatusChanged() {}
    // Every 1.0 s while a scan runs: the counters of the scanner may have changed.
    virtual void onCountersChanged() {}
    // The scan ended and its result is the duplicates manager's current one;
    // false: nothing was found (the no-duplicates view).
    virtual void onScanFinishedWithDuplicates(bool /*found*/) {}
    // 1.5 s after a scan that found duplicates: time for the results screen.
    virtual void onShowResults() {}
    // The flow went back to the welcome screen (new scan, rescan, stop).
    virtual void onWelcomeShown() {}
    // The screen changed by a move other than those above (results, interim,
    // congratulations).
    virtual void onScreenChanged() {}
};

// The flow between the user and the scan: the folder list and its checks,
// the recent folders, starting, stopping and restarting a scan, the progress
// shown while it runs, and handing the result to the duplicates manager. Free
// of any user-interface code: a presenter listens and answers questions.
//
// Lives on the main thread. At most one scan exists at a time.
class ScanFlowController final : public FoldersScannerListener,
                                 public std::enable_shared_from_this<ScanFlowController> {
    struct Key {
        explicit Key() = default;
    };

public:
    enum class Screen { welcome, scan, results, interim, noDuplicates, congratulations };

    static constexpr const char* kScannerWillStartNotification = "Scanner::WillStartNotification";
    static constexpr const char* kBackToWelcomeScreenNotification = "BackToWelcomeScreen";
    static constexpr const char* kRestartScanNotification = "RestartScan";
    static constexpr const char* kBackToInterimScreenNotification = "BackToInterimScreen";
    static constexpr const char* kNoDuplicatesMoreNotification = "NoDuplicatesMore";
    static constexpr std::size_t kProgressSteps = 45;

    static std::shared_ptr<ScanFlowController> create(Settings settings, std::weak_ptr<ScanFlowListener> listener,
                                                      std::weak_ptr<QuestionAsker> questions);
    ScanFlowController(Key, Settings settings, std::weak_ptr<ScanFlowListener> listener,
                       std::weak_ptr<QuestionAsker> questions);
    ~ScanFlowController() override;

    // --- Folder list ------------------------------------------------------------
    // Newest first; never the same path twice.
    const std::vector<PickerFolderInfo>& folderList() const { return m_arrFolders; }
    std::vector<std::string> folderPaths() const;
    // The entry made current last (by adding it, or adding it again).
    const std::string& currentFolderPath() const { return m_sCurrentFolderPath; }
    // Checks and adds paths, the last one first, each completely (questions
    // included) before the next. A batch given while another is being checked
    // waits for it.
    void addPaths(const std::vector<std::string>& paths);
    bool isAddingPaths() const { return !m_arrPendingBatches.empty() || m_bWaitingForAnswer; }
    void removeFolderWithPath(const std::string& path);

    // --- Scan -----------------------------------------------------------------------
    // Whether duplicate and similar folders are searched (always, in the
    // application; a command line may turn it off).
    void setSearchDuplicatesFoldersAndSimilars(bool search) { m_bSearchDuplicatesFoldersAndSimilars = search; }
    // Starts a scan of the folder list with the current full-hash choice; a
    // running scan is stopped first and its result dropped. False when
    // nothing started (empty folder list, or no scanner could be made).
    bool startScan();
    // The menu commands "Scan" and "Full-scale Scan": set the choice, then start.
    bool startScanWithTitle(const std::string& commandTitle);
    // Stops the running scan. Without ignoring the result the scan ends with
    // what it found so far, as a completed scan does; ignoring it returns to
    // the welcome screen with the folder list kept.
    void stopScanWithIgnoreResult(bool ignoreResult);
    // "Are you sure you want to run a new scan?" when asked for, then back to
    // the welcome screen.
    void newScan();
    // "Rescan Current Folders" / "Full-scale Rescan Current Folders".
    void rescanWithTitle(const std::string& commandTitle);
    // Shows the welcome screen: the duplicates manager keeps the last scan's
    // facts as the previous scan's.
    void showWelcomeScreen();
    // The label under the start button: "Add folders to scan" for an empty
    // folder list, else "1 folder added" / "N folders added".
    std::string folderCountLabel() const;

    // --- Moves between the screens after a scan ---------------------------------
    // Results -> interim (the summary of the last scan).
    void backToInterimScreen();
    // Interim -> results.
    void showResultsScreen();
    // After a removal: when the current result holds no duplicate any more,
    // the congratulations screen replaces the results. True when it did.
    bool checkForNoDuplicatesMore();

    // --- Quitting ---------------------------------------------------------------------
    enum class QuitDecision {
        quitNow,      // no results to lose
        closePanel,   // a panel over the results is open: close it instead
        ask,          // ask quitQuestion(); OK quits
        stay,         // the window is not the key window: nothing happens
    };
    QuitDecision decideQuit(bool panelOpenOverResults, bool windowIsKey) const;
    static Question quitQuestion();
    // The summary of the interim screen, line by line: "N folders were
    // scanned on DATE.", then "SIZE of duplicates were found." and, when
    // something was removed, "SIZE were cleaned.". The front end formats the
    // date and the sizes.
    static std::string scannedFoldersLine(std::size_t folderCount, const std::string& dateText);
    static std::string foundSizeLine(const std::string& sizeText) { return sizeText + " of duplicates were found."; }
    static std::string cleanedSizeLine(const std::string& sizeText) { return sizeText + " were cleaned."; }

    const std::shared_ptr<FoldersScanner>& scanner() const { return m_pScanner; }
    const std::vector<std::string>& selectedFoldersArray() const { return m_arrSelectedFolders; }
    const std::vector<std::string>& lastSelectedFolders() const { return m_arrLastSelectedFolders; }
    Screen screen() const { return m_eScreen; }
    // The progress bar's value (0..1), moving smoothly toward the scanner's.
    double shownProgress() const { return m_dShownProgress; }
    // The line under the progress bar for the scanner's current state.
    const std::string& descriptionLine() const { return m_sDescription; }
    // The weighted progress of the scan's stages, 0..1.
    static double targetProgressOfScanner(const FoldersScanner& scanner);
    static std::string descriptionLineOfScanner(const FoldersScanner& scanner);
    // "12 345 678": digits in groups of three, separated by spaces.
    static std::string formatNumber(std::uint64_t number);

    // FoldersScannerListener
    void onScanCompleteWithResult(std::shared_ptr<DuplicatesContainer> container) override;

private:
    void processNextPath();
    void askAndContinue(Question question, std::function<void(Answer)> then);
    void addFolder(const std::string& path);
    void checkProgress();
    void stepProgress();
    void refreshDescription();
    void startTimers();
    void stopTimers();
    void setScreen(Screen screen) { m_eScreen = screen; }
    template <typename F>
    void tellListener(F&& call);

    Settings m_settings;
    std::weak_ptr<ScanFlowListener> m_pListener;
    std::weak_ptr<QuestionAsker> m_pQuestions;
    platform::QueueChecker m_queueChecker;  // the main queue

    std::vector<PickerFolderInfo> m_arrFolders;
    std::string m_sCurrentFolderPath;
    struct PathBatch {
        std::vector<std::string> paths;  // taken from the back
        std::shared_ptr<ExcludeChecker> checker;
    };
    std::deque<PathBatch> m_arrPendingBatches;
    bool m_bWaitingForAnswer = false;

    std::vector<std::string> m_arrSelectedFolders;      // selectedFoldersArray
    std::vector<std::string> m_arrLastSelectedFolders;  // m_arrLastSelectedFolders
    std::shared_ptr<FoldersScanner> m_pScanner;
    bool m_bSearchDuplicatesFoldersAndSimilars = true;
    Screen m_eScreen = Screen::welcome;

    double m_dShownProgress = 0;
    double m_dTargetProgress = 0;
    double m_dProgressStep = 0;
    std::string m_sDescription;
    std::unique_ptr<platform::Timer> m_pProgressStepTimer;
    std::unique_ptr<platform::Timer> m_pCountersTimer;
    std::unique_ptr<platform::Timer> m_pDescriptionTimer;
    std::unique_ptr<platform::Timer> m_pDelayTimer;  // results after completion, or a rescan's start
};

}  // namespace kestrane
