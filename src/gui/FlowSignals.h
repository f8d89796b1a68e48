#pragma once

#include "app/ScanFlowController.h"

#include <QObject>
#include <QString>

namespace kestrane::gui {

// The scan flow's listener as Qt signals, so that the screens connect to
// what concerns them. Held by a shared pointer (the flow keeps it weakly).
class FlowSignals final : public QObject, public ScanFlowListener {
    Q_OBJECT

public:
    void onFolderListChanged() override;
    void onAddPathsFinished() override;
    void onStartRefusedWithLabel(const std::string& label) override;
    void onScanStarted() override;
    void onScanStatusChanged() override;
    void onCountersChanged() override;
    void onScanFinishedWithDuplicates(bool found) override;
    void onShowResults() override;
    void onWelcomeShown() override;
    void onScreenChanged() override;

signals:
    void folderListChanged();
    void addPathsFinished();
    void startRefused(const QString& label);
    void scanStarted();
    void scanStatusChanged();
    void countersChanged();
    void scanFinished(bool found);
    void showResults();
    void welcomeShown();
    void screenChanged();
};

}  // namespace kestrane::gui
