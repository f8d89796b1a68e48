#pragma once

#include <QObject>

namespace kestrane::gui {

// Runs the core's main queue from Qt's event loop. Whenever a task arrives on
// the empty main queue (from any thread) the bridge schedules a drain on the
// GUI thread; a drain runs a bounded batch of tasks and schedules the next
// one when more are waiting, so that painting and input get their turn.
//
// One bridge at a time, made on the GUI thread (the process's main thread,
// which is the core's main queue thread) after the QCoreApplication and
// before the core is used; the drains are queued to the application object,
// which outlives every poster.
class MainQueueBridge final : public QObject {
    Q_OBJECT

public:
    explicit MainQueueBridge(QObject* parent = nullptr);
    ~MainQueueBridge() override;

    static constexpr int kTasksPerDrain = 64;

    // Runs up to kTasksPerDrain tasks now; schedules another drain when
    // tasks are left.
    static void drain();

private:
    static void scheduleDrain();
};

}  // namespace kestrane::gui
