#pragma once

#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace kestrane {
class ScanFlowController;
}

namespace kestrane::gui {

// The screen of a running scan: the smoothed progress, the line that says
// what the scan is doing, the sizes found so far per category (possible:
// files with a same-size partner; found: copies proven identical), and Stop.
class ScanScreen final : public QWidget {
    Q_OBJECT

public:
    explicit ScanScreen(std::shared_ptr<ScanFlowController> flow, QWidget* parent = nullptr);

    void scanStarted();
    // Every 0.05 s: the progress bar and the description line.
    void refreshStatus();
    // Every 1.0 s and at the end: the counters.
    void refreshCounters();
    void scanFinished(bool found);

    QProgressBar* progressBar() const { return m_progress; }
    QLabel* descriptionLabel() const { return m_description; }
    QPushButton* stopButton() const { return m_stop; }

    static constexpr int kProgressRange = 1000;

signals:
    void stopRequested();

private:
    std::shared_ptr<ScanFlowController> m_flow;
    QLabel* m_heading;
    QLabel* m_folders;
    QProgressBar* m_progress;
    QLabel* m_description;
    QTreeWidget* m_counters;
    QPushButton* m_stop;
};

}  // namespace kestrane::gui
