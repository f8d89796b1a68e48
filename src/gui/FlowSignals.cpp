#include "gui/FlowSignals.h"

namespace kestrane::gui {

void FlowSignals::onFolderListChanged() { emit folderListChanged(); }
void FlowSignals::onAddPathsFinished() { emit addPathsFinished(); }
void FlowSignals::onStartRefusedWithLabel(const std::string& label) { emit startRefused(QString::fromStdString(label)); }
void FlowSignals::onScanStarted() { emit scanStarted(); }
void FlowSignals::onScanStatusChanged() { emit scanStatusChanged(); }
void FlowSignals::onCountersChanged() { emit countersChanged(); }
void FlowSignals::onScanFinishedWithDuplicates(bool found) { emit scanFinished(found); }
void FlowSignals::onShowResults() { emit showResults(); }
void FlowSignals::onWelcomeShown() { emit welcomeShown(); }
void FlowSignals::onScreenChanged() { emit screenChanged(); }

}  // namespace kestrane::gui
