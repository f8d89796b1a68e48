#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrane {

// The plain-text account of what the last removal session decided (which
// removers ran, how many errors each group held, what the person declined),
// for the support report about removal errors. Process-wide; a new session
// clears it. Lines may be added from any thread.
class DuplicateItemsRemoverBehaviorLog {
public:
    static std::shared_ptr<DuplicateItemsRemoverBehaviorLog> shared();
    // Replaces the process-wide log (null makes a fresh one).
    static void setShared(std::shared_ptr<DuplicateItemsRemoverBehaviorLog> log);

    // Appends the line and a line feed.
    void addLine(std::string_view line);
    void clear();
    std::string content() const;

private:
    mutable std::mutex m_mutex;
    std::string m_content;
};

}  // namespace kestrane
