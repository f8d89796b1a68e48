#include "gui/MainWindow.h"

#include "app/AppEvents.h"
#include "app/ScanFlowController.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/FlowSignals.h"
#include "gui/FolderTreePanel.h"
#include "gui/GuiText.h"
#include "gui/HistoryWindow.h"
#include "gui/MergeDialog.h"
#include "gui/MessageScreen.h"
#include "gui/PreferencesDialog.h"
#include "gui/QtQuestionAsker.h"
#include "gui/ResultsScreen.h"
#include "gui/ReviewPanel.h"
#include "gui/ScanScreen.h"
#include "gui/WelcomeScreen.h"
#include "platform/UserFolders.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolBar>
#include <QTreeView>

#include <any>
#include <chrono>

// The icon and other resources live in this static library; a static
// library's resources are registered by hand, outside any namespace.
static void registerResources() {
    Q_INIT_RESOURCE(kestrane);
}

namespace kestrane::gui {

namespace {

QString dateOf(const std::chrono::system_clock::time_point& time) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds), QLocale::LongFormat);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    registerResources();
    setWindowTitle(QStringLiteral("Kestrane"));
    setAcceptDrops(true);
    setObjectName(QStringLiteral("KestraneMainWindow"));

    m_flowSignals = std::make_shared<FlowSignals>();
    m_asker = std::make_shared<QtQuestionAsker>(this);
    m_flow = ScanFlowController::create(Settings::standard(), m_flowSignals, m_asker);

    m_stack = new QStackedWidget(this);
    setCentralWidget(m_stack);
    m_welcome = new WelcomeScreen(m_flow, m_stack);
    m_scan = new ScanScreen(m_flow, m_stack);
    m_results = new ResultsScreen(m_asker, m_stack);
    m_interim = new MessageScreen(QStringLiteral("document-properties"), m_stack);
    m_noDuplicates = new MessageScreen(QStringLiteral("dialog-information"), m_stack);
    m_congratulations = new MessageScreen(QStringLiteral("emblem-default"), m_stack);
    m_review = new ReviewPanel(m_asker, m_stack);
    m_folderTree = new FolderTreePanel(m_asker, m_stack);
    for (QWidget* screen : {static_cast<QWidget*>(m_welcome), static_cast<QWidget*>(m_scan),
                            static_cast<QWidget*>(m_results), static_cast<QWidget*>(m_interim),
                            static_cast<QWidget*>(m_noDuplicates), static_cast<QWidget*>(m_congratulations),
                            static_cast<QWidget*>(m_review), static_cast<QWidget*>(m_folderTree)})
        m_stack->addWidget(screen);

    m_interim->setTitle(QStringLiteral("The last scan"));
    connect(m_interim->addButton(QStringLiteral("Show Results"), QStringLiteral("go-next")), &QPushButton::clicked,
            this, [this] { m_flow->showResultsScreen(); });
    connect(m_interim->addButton(QStringLiteral("New Scan"), QStringLiteral("document-new")), &QPushButton::clicked,
            this, [this] { m_flow->newScan(); });
    m_noDuplicates->setTitle(QStringLiteral("No duplicates found"));
    m_noDuplicates->setLines({QStringLiteral("The folders hold no identical files of the size searched for.")});
    connect(m_noDuplicates->addButton(QStringLiteral("New Scan"), QStringLiteral("document-new")),
            &QPushButton::clicked, this, [this] { m_flow->newScan(); });
    connect(m_noDuplicates->addButton(QStringLiteral("Rescan"), QStringLiteral("view-refresh")),
            &QPushButton::clicked, this, [this] { m_flow->rescanWithTitle("Rescan Current Folders"); });
    m_congratulations->setTitle(QStringLiteral("Congratulations!"));
    connect(m_congratulations->addButton(QStringLiteral("New Scan"), QStringLiteral("document-new")),
            &QPushButton::clicked, this, [this] { m_flow->newScan(); });

    createActions();
    createMenus();

    FlowSignals* flow = m_flowSignals.get();
    connect(flow, &FlowSignals::folderListChanged, m_welcome, &WelcomeScreen::refresh);
    connect(flow, &FlowSignals::startRefused, m_welcome->countLabel(), &QLabel::setText);
    connect(flow, &FlowSignals::scanStarted, this, [this] {
        m_scan->scanStarted();
        syncScreen();
    });
    connect(flow, &FlowSignals::scanStatusChanged, m_scan, &ScanScreen::refreshStatus);
    connect(flow, &FlowSignals::countersChanged, m_scan, &ScanScreen::refreshCounters);
    connect(flow, &FlowSignals::scanFinished, this, [this](bool found) {
        m_scan->scanFinished(found);
        if (found) m_results->setContainer(DuplicatesManager::sharedManager().duplicateContainer());
        syncScreen();
    });
    connect(flow, &FlowSignals::showResults, this, &MainWindow::syncScreen);
    connect(flow, &FlowSignals::welcomeShown, this, [this] {
        m_welcome->refresh();
        syncScreen();
    });
    connect(flow, &FlowSignals::screenChanged, this, &MainWindow::syncScreen);

    connect(m_welcome, &WelcomeScreen::addFolderRequested, this,
            [] { platform::NotificationCenter::defaultCenter().post(AppEvents::kAddFolder); });
    connect(m_welcome, &WelcomeScreen::startRequested, this,
            [] { platform::NotificationCenter::defaultCenter().post(AppEvents::kStartScan); });
    connect(m_results, &ResultsScreen::neverSelectListRequested, this, [this] {
        showPreferences();
        m_preferences->showNeverSelectList();
    });
    connect(m_results, &ResultsScreen::currentPairChanged, this, &MainWindow::refreshActions);
    connect(m_scan, &ScanScreen::stopRequested, this, [this] { m_flow->stopScanWithIgnoreResult(true); });
    for (QWidget* panel : {static_cast<QWidget*>(m_review), static_cast<QWidget*>(m_folderTree)}) {
        auto closed = [this, panel] {
            if (m_panel == panel) m_panel = nullptr;
            syncScreen();
        };
        if (panel == m_review) connect(m_review, &ReviewPanel::closed, this, closed);
        else connect(m_folderTree, &FolderTreePanel::closed, this, closed);
    }
    connect(m_review, &ReviewPanel::removalStarted, this, &MainWindow::refreshActions);
    // After a removal that took the last duplicates the congratulations replace the results.
    connect(m_review, &ReviewPanel::removalFinished, this, [this] {
        if (!m_flow->checkForNoDuplicatesMore()) refreshActions();
    });

    observe(AppEvents::kAddFolder, [this](const platform::Notification&) { chooseFolder(); });
    observe(AppEvents::kStartScan, [this](const platform::Notification&) {
        if (m_folderDialogOpen || !m_welcome->startButton()->isEnabled()) return;
        m_flow->startScan();
    });
    observe(AppEvents::kFilesDropped, [this](const platform::Notification& note) {
        const auto found = note.userInfo.find(AppEvents::kPathsKey);
        if (found == note.userInfo.end()) return;
        if (const auto* paths = std::any_cast<std::vector<std::string>>(&found->second)) m_flow->addPaths(*paths);
    });
    observe(AppEvents::kTryToScanHomeFolder,
            [this](const platform::Notification&) { m_flow->addPaths({platform::homeFolder()}); });
    observe(AppEvents::kForceFullHashCalculationChanged,
            [this](const platform::Notification&) { m_welcome->refreshStartButton(); });
    observe(AppEvents::kDuplicateItemSelectionChanged, [this](const platform::Notification&) { refreshActions(); });

    qApp->installEventFilter(this);
    resize(1100, 700);
    syncScreen();
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
}

void MainWindow::observe(const char* name, std::function<void(const platform::Notification&)> callback) {
    m_observations.push_back(platform::NotificationCenter::defaultCenter().addObserver(name, std::move(callback)));
}

QAction* MainWindow::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void MainWindow::createActions() {
    auto make = [this](const char* name, const QString& text, const QString& icon, const QKeySequence& keys,
                       auto slot) {
        auto* action = new QAction(themeIcon(icon), text, this);
        action->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    make("addFolder", QStringLiteral("&Add Folder…"), QStringLiteral("folder-new"), QKeySequence::Open,
         [] { platform::NotificationCenter::defaultCenter().post(AppEvents::kAddFolder); });
    make("scanHome", QStringLiteral("Add &Home Folder"), QStringLiteral("user-home"), {},
         [] { platform::NotificationCenter::defaultCenter().post(AppEvents::kTryToScanHomeFolder); });
    make("scan", QStringLiteral("&Scan"), QStringLiteral("edit-find"), QKeySequence(Qt::CTRL | Qt::Key_Return),
         [this] { m_flow->startScanWithTitle("Scan"); });
    make("fullScaleScan", QStringLiteral("&Full-scale Scan"), QString(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
         [this] { m_flow->startScanWithTitle("Full-scale Scan"); });
    make("rescan", QStringLiteral("&Rescan Current Folders"), QStringLiteral("view-refresh"), QKeySequence::Refresh,
         [this] { m_flow->rescanWithTitle("Rescan Current Folders"); });
    make("fullScaleRescan", QStringLiteral("Full-scale Rescan Current Folders"), QString(),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
         [this] { m_flow->rescanWithTitle("Full-scale Rescan Current Folders"); });
    make("newScan", QStringLiteral("&New Scan"), QStringLiteral("document-new"), QKeySequence::New,
         [this] { m_flow->newScan(); });
    make("stopScan", QStringLiteral("S&top Scan"), QStringLiteral("process-stop"), QKeySequence(Qt::Key_Escape),
         [this] { m_flow->stopScanWithIgnoreResult(true); });
    make("back", QStringLiteral("&Back to Summary"), QStringLiteral("go-previous"), QKeySequence::Back,
         [this] { m_flow->backToInterimScreen(); });
    make("find", QStringLiteral("&Find"), QStringLiteral("edit-find"), QKeySequence::Find,
         [] { platform::NotificationCenter::defaultCenter().post(AppEvents::kFindInActiveView); });
    make("openFile", QStringLiteral("&Open Copy"), QStringLiteral("document-open"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
         [] { platform::NotificationCenter::defaultCenter().post(AppEvents::kOpenFile); });
    make("revealFile", QStringLiteral("Show in &Folder"), QStringLiteral("folder-open"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L),
         [] { platform::NotificationCenter::defaultCenter().post(AppEvents::kRevealInFileManager); });
    make("preferences", QStringLiteral("&Preferences…"), QStringLiteral("preferences-system"),
         QKeySequence(Qt::CTRL | Qt::Key_Comma), [this] { showPreferences(); });
    make("review", QStringLiteral("&Review and Remove…"), QStringLiteral("edit-delete"),
         QKeySequence(Qt::CTRL | Qt::Key_Delete), [this] { showReview(); });
    make("selectInFolder", QStringLiteral("Select in &Folder…"), QStringLiteral("folder"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), [this] { showFolderTree(); });
    make("merge", QStringLiteral("&Merge Folders…"), QStringLiteral("folder-copy"), QKeySequence(Qt::CTRL | Qt::Key_M),
         [this] { m_results->openMerge(); });
    make("history", QStringLiteral("Removal &History…"), QStringLiteral("document-open-recent"),
         QKeySequence(Qt::CTRL | Qt::Key_H), [this] { showHistory(); });
    make("quit", QStringLiteral("&Quit"), QStringLiteral("application-exit"), QKeySequence::Quit, [this] { close(); });
    make("about", QStringLiteral("&About Kestrane"), QStringLiteral("help-about"), {}, [this] {
        QMessageBox::about(this, QStringLiteral("About Kestrane"),
                           QStringLiteral("<b>Kestrane %1</b><p>Finds duplicate files, duplicate folders and "
                                          "similar folders, and helps you remove the copies you do not need. "
                                          "Every removal is logged and can be undone.</p>")
                               .arg(QStringLiteral(KESTRANE_VERSION)));
    });

    QToolBar* bar = m_results->toolBar();
    bar->addAction(action(QStringLiteral("back")));
    bar->addAction(action(QStringLiteral("newScan")));
    bar->addAction(action(QStringLiteral("rescan")));
    bar->addSeparator();
    bar->addActions(m_results->listCommands());
    bar->addAction(action(QStringLiteral("selectInFolder")));
    bar->addAction(action(QStringLiteral("merge")));
    bar->addSeparator();
    bar->addAction(action(QStringLiteral("review")));
}

void MainWindow::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    for (const char* name : {"addFolder", "scanHome"}) file->addAction(action(QString::fromLatin1(name)));
    file->addSeparator();
    for (const char* name : {"scan", "fullScaleScan", "rescan", "fullScaleRescan", "newScan", "stopScan"})
        file->addAction(action(QString::fromLatin1(name)));
    file->addSeparator();
    for (const char* name : {"openFile", "revealFile"}) file->addAction(action(QString::fromLatin1(name)));
    file->addSeparator();
    file->addAction(action(QStringLiteral("review")));
    file->addAction(action(QStringLiteral("merge")));
    file->addAction(action(QStringLiteral("history")));
    file->addSeparator();
    file->addAction(action(QStringLiteral("quit")));
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("editMenu"));
    edit->addAction(action(QStringLiteral("find")));
    edit->addSeparator();
    edit->addAction(action(QStringLiteral("preferences")));
    QMenu* select = menuBar()->addMenu(QStringLiteral("&Select"));
    select->setObjectName(QStringLiteral("selectMenu"));
    select->addActions(m_results->listCommands());
    select->addSeparator();
    select->addAction(action(QStringLiteral("selectInFolder")));
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    view->addAction(action(QStringLiteral("back")));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(action(QStringLiteral("about")));
}

QWidget* MainWindow::currentScreen() const {
    return m_stack->currentWidget();
}

void MainWindow::syncScreen() {
    using Screen = ScanFlowController::Screen;
    QWidget* screen = m_welcome;
    switch (m_flow->screen()) {
        case Screen::welcome: screen = m_welcome; break;
        case Screen::scan: screen = m_scan; break;
        case Screen::results: screen = m_panel ? m_panel : m_results; break;
        case Screen::interim:
            refreshInterimScreen();
            screen = m_interim;
            break;
        case Screen::noDuplicates: screen = m_noDuplicates; break;
        case Screen::congratulations:
            refreshCongratulationsScreen();
            screen = m_congratulations;
            break;
    }
    // The panels live over the results only.
    if (m_flow->screen() != Screen::results) m_panel = nullptr;
    m_stack->setCurrentWidget(screen);
    refreshActions();
}

void MainWindow::refreshActions() {
    using Screen = ScanFlowController::Screen;
    const Screen screen = m_flow->screen();
    const bool welcome = screen == Screen::welcome;
    const bool scanning = screen == Screen::scan && m_flow->scanner();
    const bool afterScan = !welcome && !scanning;
    action(QStringLiteral("addFolder"))->setEnabled(welcome);
    action(QStringLiteral("scanHome"))->setEnabled(welcome);
    action(QStringLiteral("scan"))->setEnabled(welcome);
    action(QStringLiteral("fullScaleScan"))->setEnabled(welcome);
    action(QStringLiteral("rescan"))->setEnabled(afterScan);
    action(QStringLiteral("fullScaleRescan"))->setEnabled(afterScan);
    action(QStringLiteral("newScan"))->setEnabled(afterScan);
    action(QStringLiteral("stopScan"))->setEnabled(scanning);
    const bool results = screen == Screen::results && !m_panel;
    action(QStringLiteral("back"))->setEnabled(results);
    for (const char* name : {"find", "openFile", "revealFile"}) action(QString::fromLatin1(name))->setEnabled(results);
    const auto& container = DuplicatesManager::sharedManager().duplicateContainer();
    action(QStringLiteral("review"))->setEnabled(results && container && container->getItemsCountInRemoveList() > 0);
    action(QStringLiteral("selectInFolder"))->setEnabled(results && container);
    action(QStringLiteral("merge"))->setEnabled(results && m_results->currentPair() != nullptr);
    // While the review is open the selection changes only there; during a
    // removal nothing leaves the review.
    menuBar()->findChild<QMenu*>(QStringLiteral("selectMenu"))->setEnabled(results);
    if (m_review->isRemoving()) {
        for (const char* name : {"rescan", "fullScaleRescan", "newScan", "history"})
            action(QString::fromLatin1(name))->setEnabled(false);
    } else {
        action(QStringLiteral("history"))->setEnabled(true);
    }
}

void MainWindow::refreshInterimScreen() {
    const DuplicatesManager& manager = DuplicatesManager::sharedManager();
    QStringList lines;
    const std::size_t folders = manager.scannedFolders() ? manager.scannedFolders()->size() : 0;
    const auto date = manager.scanFinishDate() ? manager.scanFinishDate() : manager.scanStartDate();
    lines << toQString(ScanFlowController::scannedFoldersLine(folders, date ? toStdString(dateOf(*date)) : ""));
    const auto found = manager.foundSize().value_or(0);
    lines << toQString(ScanFlowController::foundSizeLine(toStdString(sizeText(static_cast<std::uint64_t>(found)))));
    if (const auto removed = manager.removedSize(); removed && *removed > 0)
        lines << toQString(ScanFlowController::cleanedSizeLine(toStdString(sizeText(static_cast<std::uint64_t>(*removed)))));
    m_interim->setLines(lines);
}

void MainWindow::refreshCongratulationsScreen() {
    QStringList lines{QStringLiteral("Every duplicate found in these folders is gone.")};
    if (const auto removed = DuplicatesManager::sharedManager().removedSize(); removed && *removed > 0)
        lines << toQString(ScanFlowController::cleanedSizeLine(toStdString(sizeText(static_cast<std::uint64_t>(*removed)))));
    m_congratulations->setLines(lines);
}

void MainWindow::showReview() {
    if (m_flow->screen() != ScanFlowController::Screen::results || m_panel) return;
    const auto container = DuplicatesManager::sharedManager().duplicateContainer();
    if (!container || container->getItemsCountInRemoveList() <= 0) return;
    m_review->open(container);
    setPanelOverResults(m_review);
    syncScreen();
    m_review->view()->setFocus();
}

bool MainWindow::isReviewOpen() const {
    return m_panel == m_review;
}

void MainWindow::showFolderTree() {
    if (m_flow->screen() != ScanFlowController::Screen::results || m_panel) return;
    const auto container = DuplicatesManager::sharedManager().duplicateContainer();
    if (!container) return;
    m_folderTree->open(container);
    setPanelOverResults(m_folderTree);
    syncScreen();
}

void MainWindow::showPreferences() {
    if (!m_preferences) {
        m_preferences = new PreferencesDialog(this);
        m_preferences->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_preferences->reload();
    m_preferences->show();
    m_preferences->raise();
    m_preferences->activateWindow();
}

void MainWindow::showHistory() {
    if (!m_history) {
        m_history = new HistoryWindow(this);
        m_history->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        m_history->reload();
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void MainWindow::chooseFolder() {
    if (m_folderDialogOpen || m_flow->screen() != ScanFlowController::Screen::welcome) return;
    Settings settings = Settings::standard();
    const QString start = toQString(settings.lastOpenedFolderToScan().value_or(platform::homeFolder()));
    m_folderDialogOpen = true;
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Add a Folder to Scan"), start);
    m_folderDialogOpen = false;
    if (folder.isEmpty()) return;
    const std::string path = toStdString(folder);
    settings.setLastOpenedFolderToScan(toStdString(QFileInfo(folder).absolutePath()));
    m_flow->addPaths({path});
}

void MainWindow::dropPaths(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    platform::NotificationCenter::defaultCenter().post(AppEvents::kFilesDropped, {{AppEvents::kPathsKey, paths}});
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (m_flow->screen() == ScanFlowController::Screen::welcome && event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(toStdString(url.toLocalFile()));
    dropPaths(paths);
    event->acceptProposedAction();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Holding Alt on the welcome screen turns the start button into its
    // full-scale form (or back, when full content keys are the stored choice).
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        m_flow->screen() == ScanFlowController::Screen::welcome) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Alt && !key->isAutoRepeat()) {
            Settings::setUserRevertedForceFullHashCalculation(event->type() == QEvent::KeyPress);
            m_welcome->refreshStartButton();
        }
    } else if (event->type() == QEvent::ApplicationDeactivate && Settings::userRevertedForceFullHashCalculation()) {
        Settings::setUserRevertedForceFullHashCalculation(false);
        m_welcome->refreshStartButton();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A merge under way ends (or is stopped from its window) before anything closes.
    if (const MergeDialog* merge = m_results->mergeDialog(); merge && merge->isPerforming()) return event->ignore();
    if (m_quitConfirmed) return event->accept();
    const bool panelOpen = m_panel && m_panel->isVisible();
    const bool isKey = QApplication::activeWindow() == this || QApplication::activeWindow() == nullptr;
    switch (m_flow->decideQuit(panelOpen, isKey)) {
        case ScanFlowController::QuitDecision::quitNow: return event->accept();
        case ScanFlowController::QuitDecision::closePanel:
            m_panel->close();
            return event->ignore();
        case ScanFlowController::QuitDecision::stay: return event->ignore();
        case ScanFlowController::QuitDecision::ask: break;
    }
    event->ignore();
    if (m_asker->currentBox()) return;
    m_asker->ask(ScanFlowController::quitQuestion(), [this](Answer answer) {
        if (answer.button != 0) return;
        m_quitConfirmed = true;
        close();
    });
}

}  // namespace kestrane::gui
