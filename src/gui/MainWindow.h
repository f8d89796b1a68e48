#pragma once

#include "platform/NotificationCenter.h"

#include <QMainWindow>
#include <QPointer>

#include "gui/HistoryWindow.h"
#include "gui/PreferencesDialog.h"

#include <memory>
#include <vector>

class QAction;
class QStackedWidget;

namespace kestrane {
class ScanFlowController;
}

namespace kestrane::gui {

class FlowSignals;
class MessageScreen;

class QtQuestionAsker;
class ResultsScreen;
class ReviewPanel;
class FolderTreePanel;
class ScanScreen;
class WelcomeScreen;

// The one window of the app: the screens of a clean-up one after another
// (welcome, scan, results, the interim summary, no duplicates,
// congratulations), the menus and their shortcuts, folders dropped on the
// window, and the decision whether closing may lose results.
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    const std::shared_ptr<ScanFlowController>& flow() const { return m_flow; }
    QtQuestionAsker& questions() const { return *m_asker; }
    WelcomeScreen* welcomeScreen() const { return m_welcome; }
    ScanScreen* scanScreen() const { return m_scan; }
    ResultsScreen* resultsScreen() const { return m_results; }
    MessageScreen* interimScreen() const { return m_interim; }
    MessageScreen* noDuplicatesScreen() const { return m_noDuplicates; }
    MessageScreen* congratulationsScreen() const { return m_congratulations; }
    ReviewPanel* reviewPanel() const { return m_review; }
    QWidget* currentScreen() const;
    QAction* action(const QString& objectName) const;

    // A panel opened over the results (the review, select in folder) that
    // closing the window closes first (the review, or selecting in folders).
    void setPanelOverResults(QWidget* panel) { m_panel = panel; }

    // Opens the review of the copies selected for removal over the results
    // (nothing happens when none is selected).
    void showReview();
    bool isReviewOpen() const;
    // Opens selecting in folders over the results: the folder tree with its
    // counters, the folder checkboxes and the keep stars.
    void showFolderTree();
    FolderTreePanel* folderTreePanel() const { return m_folderTree; }

    // Opens the preferences window (one at a time, not modal).
    void showPreferences();
    PreferencesDialog* preferencesDialog() const { return m_preferences; }
    // Opens the removal history (one at a time, not modal).
    void showHistory();
    HistoryWindow* historyWindow() const { return m_history; }

    // Adds folders as if they had been dropped on the window.
    void dropPaths(const std::vector<std::string>& paths);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void syncScreen();
    void chooseFolder();
    void refreshInterimScreen();
    void refreshCongratulationsScreen();
    void refreshActions();
    void observe(const char* name, std::function<void(const platform::Notification&)> callback);

    std::shared_ptr<FlowSignals> m_flowSignals;
    std::shared_ptr<QtQuestionAsker> m_asker;
    std::shared_ptr<ScanFlowController> m_flow;
    QStackedWidget* m_stack;
    WelcomeScreen* m_welcome;
    ScanScreen* m_scan;
    ResultsScreen* m_results;
    MessageScreen* m_interim;
    MessageScreen* m_noDuplicates;
    MessageScreen* m_congratulations;
    ReviewPanel* m_review;
    FolderTreePanel* m_folderTree;
    QWidget* m_panel = nullptr;  // the panel shown over the results, if any
    QPointer<PreferencesDialog> m_preferences;
    QPointer<HistoryWindow> m_history;
    bool m_quitConfirmed = false;
    bool m_folderDialogOpen = false;
    std::vector<std::unique_ptr<platform::NotificationCenter::Observation>> m_observations;
};

}  // namespace kestrane::gui
