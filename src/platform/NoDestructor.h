#pragma once

#include <new>
#include <utility>

namespace kestrane::platform {

// Holds a process-wide object that is never destroyed. Queues, caches and
// registries shared with background threads use it: threads still running
// when the process exits (a worker finishing its batch, a pooled thread) may
// touch them after static destructors have begun. What it allocates stays
// reachable, so leak checkers do not report it.
template <typename T>
class NoDestructor {
public:
    template <typename... Args>
    explicit NoDestructor(Args&&... args) {
        ::new (static_cast<void*>(m_storage)) T(std::forward<Args>(args)...);
    }
    ~NoDestructor() = default;  // deliberately leaves the object alive
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& operator*() { return *get(); }
    T* operator->() { return get(); }
    T* get() { return std::launder(reinterpret_cast<T*>(m_storage)); }

private:
    alignas(T) unsigned char m_storage[sizeof(T)];
};

}  // namespace kestrane::platform
