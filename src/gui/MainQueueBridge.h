#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace kestrane::gui {

// Runs the core's main queue from Qt's event loop. Whenever a task arrives on
// the empty main queue (from any thread) the bridge wakes the GUI thread; a
// drain runs a bounded batch of tasks and schedules the next one when more
// are waiting, so that painting and input get their turn.
//
// The wake-up is an eventfd watched by a socket notifier on the GUI thread:
// a poster on another thread only writes eight bytes, it allocates nothing
// that the GUI thread later frees, and the tasks themselves travel through
// the queue's own mutex.
//
// One bridge at a time, made on the GUI thread (the process's main thread,
// which is the core's main queue thread) after the QCoreApplication and
// before the core is used.
class MainQueueBridge final : public QObject {
    Q_OBJECT

public:
    explicit MainQueueBridge(QObject* parent = nullptr);
    ~MainQueueBridge() override;

    static constexpr int kTasksPerDrain = 64;

    // Runs up to kTasksPerDrain tasks now; schedules another drain when
    // tasks are left. GUI thread only.
    static void drain();

private:
    class Wake;

    void onWake();

    std::shared_ptr<Wake> m_wake;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace kestrane::gui
