#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace kestrane {
class ScanFlowController;
}

namespace kestrane::gui {

// The first screen: the folders to scan (added with the folder dialog, from
// the recent folders, or by dropping folders on the window; removed with the
// Remove button or the Delete key), and the button that starts the scan.
// Holding Alt turns the button into its full-scale form when full content
// keys are not the stored choice (and back when they are).
class WelcomeScreen final : public QWidget {
    Q_OBJECT

public:
    explicit WelcomeScreen(std::shared_ptr<ScanFlowController> flow, QWidget* parent = nullptr);

    // Refills the list and the label from the flow.
    void refresh();
    // The start button's form follows the current full-hash choice.
    void refreshStartButton();

    QTreeWidget* folderList() const { return m_list; }
    QPushButton* startButton() const { return m_start; }
    QLabel* countLabel() const { return m_label; }

signals:
    void addFolderRequested();
    void startRequested();

private:
    void removeSelected();
    void fillRecentMenu();

    std::shared_ptr<ScanFlowController> m_flow;
    QTreeWidget* m_list;
    QToolButton* m_add;
    QMenu* m_recent;
    QPushButton* m_remove;
    QPushButton* m_start;
    QLabel* m_label;
};

}  // namespace kestrane::gui
