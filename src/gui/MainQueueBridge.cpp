#include "gui/MainQueueBridge.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace kestrane::gui {

MainQueueBridge::MainQueueBridge(QObject* parent) : QObject(parent) {
    platform::MainQueue::shared().setWakeHandler([] { scheduleDrain(); });
    // Tasks posted before the bridge existed.
    if (platform::MainQueue::shared().pendingCount() > 0) scheduleDrain();
}

MainQueueBridge::~MainQueueBridge() {
    platform::MainQueue::shared().setWakeHandler(nullptr);
}

void MainQueueBridge::scheduleDrain() {
    // Thread-safe: the call is queued to the application object's thread.
    if (auto* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [] { drain(); }, Qt::QueuedConnection);
}

void MainQueueBridge::drain() {
    auto& queue = platform::MainQueue::shared();
    queue.runPendingAtMost(kTasksPerDrain);
    if (queue.pendingCount() > 0) scheduleDrain();
}

}  // namespace kestrane::gui
