#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrane::platform {

using NotificationPayload = std::map<std::string, std::any>;

struct Notification {
    std::string name;
    const void* object = nullptr;  // the sender, when it gives one
    NotificationPayload userInfo;
};

// The process-wide notification centre. Observers are always called on the
// main queue: at once when the notification is posted on the main thread,
// otherwise as soon as the main queue runs. An observer removed before a
// queued notification is delivered is not called.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    // Keeps an observer registered for as long as it lives.
    class Observation {
    public:
        ~Observation();
        Observation(const Observation&) = delete;
        Observation& operator=(const Observation&) = delete;

    private:
        friend class NotificationCenter;
        Observation(NotificationCenter& center, std::uint64_t id) : m_center(center), m_id(id) {}
        NotificationCenter& m_center;
        std::uint64_t m_id;
    };

    static NotificationCenter& defaultCenter();

    // An empty name observes every notification.
    [[nodiscard]] std::unique_ptr<Observation> addObserver(std::string name, Callback callback);
    void post(std::string name, NotificationPayload userInfo = {}, const void* object = nullptr);

private:
    struct Entry {
        std::uint64_t id;
        std::string name;
        Callback callback;
        bool active = true;  // guarded by m_mutex
    };

    void removeObserver(std::uint64_t id);
    void deliver(const Notification& notification);

    std::mutex m_mutex;
    std::uint64_t m_nextId = 1;
    std::vector<std::shared_ptr<Entry>> m_entries;
};

}  // namespace kestrane::platform
