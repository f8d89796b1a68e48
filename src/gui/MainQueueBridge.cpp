#include "gui/MainQueueBridge.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kestrane::gui {

// The eventfd behind the wake-up. The queue's wake handler holds it too, so a
// poster that is still inside the handler while the bridge goes away writes
// to an open descriptor, which closes with the last holder.
class MainQueueBridge::Wake {
public:
    Wake() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (m_fd < 0)
            throw std::runtime_error(std::string("Cannot create the main queue's wake-up descriptor: ") +
                                     std::strerror(errno));
    }
    ~Wake() { ::close(m_fd); }
    Wake(const Wake&) = delete;
    Wake& operator=(const Wake&) = delete;

    int fd() const { return m_fd; }

    void signal() const {
        const std::uint64_t one = 1;
        // EAGAIN means the counter is full, so a wake-up is pending anyway.
        while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

    void reset() const {
        std::uint64_t count = 0;
        while (::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }

private:
    int m_fd;
};

MainQueueBridge::MainQueueBridge(QObject* parent) : QObject(parent), m_wake(std::make_shared<Wake>()) {
    m_notifier = new QSocketNotifier(m_wake->fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MainQueueBridge::onWake);
    platform::MainQueue::shared().setWakeHandler([wake = m_wake] { wake->signal(); });
    // Tasks posted before the bridge existed.
    if (platform::MainQueue::shared().pendingCount() > 0) m_wake->signal();
}

MainQueueBridge::~MainQueueBridge() {
    platform::MainQueue::shared().setWakeHandler(nullptr);
}

void MainQueueBridge::onWake() {
    m_wake->reset();
    drain();
}

void MainQueueBridge::drain() {
    auto& queue = platform::MainQueue::shared();
    queue.runPendingAtMost(kTasksPerDrain);
    // Queued from the GUI thread to itself, after the events already waiting.
    if (queue.pendingCount() > 0)
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [] { drain(); }, Qt::QueuedConnection);
}

}  // namespace kestrane::gui
