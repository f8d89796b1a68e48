#include "platform/NotificationCenter.h"

#include "platform/MainQueue.h"
#include "platform/NoDestructor.h"

namespace kestrane::platform {

NotificationCenter::Observation::~Observation() {
    m_center.removeObserver(m_id);
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NoDestructor<NotificationCenter> center;
    return *center;
}

std::unique_ptr<NotificationCenter::Observation> NotificationCenter::addObserver(std::string name,
                                                                                  Callback callback) {
    std::lock_guard lock(m_mutex);
    const auto id = m_nextId++;
    m_entries.push_back(std::make_shared<Entry>(Entry{id, std::move(name), std::move(callback)}));
    return std::unique_ptr<Observation>(new Observation(*this, id));  // private constructor
}

void NotificationCenter::removeObserver(std::uint64_t id) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const std::shared_ptr<Entry>& entry) {
        if (entry->id != id) return false;
        entry->active = false;
        return true;
    });
}

void NotificationCenter::post(std::string name, NotificationPayload userInfo, const void* object) {
    Notification notification{std::move(name), object, std::move(userInfo)};
    if (MainQueue::isMainThread()) {
        deliver(notification);
        return;
    }
    MainQueue::shared().async([this, notification = std::move(notification)] { deliver(notification); });
}

void NotificationCenter::deliver(const Notification& notification) {
    std::vector<std::shared_ptr<Entry>> matching;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& entry : m_entries)
            if (entry->name.empty() || entry->name == notification.name) matching.push_back(entry);
    }
    for (const auto& entry : matching) {
        {
            std::lock_guard lock(m_mutex);
            if (!entry->active) continue;  // removed by an observer called before it
        }
        entry->callback(notification);
    }
}

}  // namespace kestrane::platform
