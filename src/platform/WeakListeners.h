#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrane {

// A list of weakly held listeners. notify() calls an operation on every
// listener still alive, over a copy of the list so that listeners may add or
// remove listeners while being called; expired entries are dropped.
template <typename T>
class WeakListeners {
public:
    void add(const std::shared_ptr<T>& listener) {
        std::lock_guard lock(m_mutex);
        prune();
        for (const auto& w : m_listeners)
            if (w.lock() == listener) return;
        m_listeners.push_back(listener);
    }

    void remove(const T* listener) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_listeners, [&](const std::weak_ptr<T>& w) {
            auto strong = w.lock();
            return !strong || strong.get() == listener;
        });
    }

    template <typename Fn, typename... Args>
    void notify(Fn T::*operation, Args&&... args) {
        for (const auto& listener : alive()) ((*listener).*operation)(args...);
    }

    std::vector<std::shared_ptr<T>> alive() {
        std::vector<std::shared_ptr<T>> strong;
        std::lock_guard lock(m_mutex);
        prune();
        strong.reserve(m_listeners.size());
        for (const auto& w : m_listeners)
            if (auto s = w.lock()) strong.push_back(std::move(s));
        return strong;
    }

    std::size_t size() {
        std::lock_guard lock(m_mutex);
        prune();
        return m_listeners.size();
    }

private:
    void prune() {
        std::erase_if(m_listeners, [](const std::weak_ptr<T>& w) { return w.expired(); });
    }

    std::mutex m_mutex;
    std::vector<std::weak_ptr<T>> m_listeners;
};

}  // namespace kestrane
