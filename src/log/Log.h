#pragma once

#include <functional>
#include <memory>

namespace kestrane {

namespace platform {
class SerialQueue;
}

class JObject;

// A log: a tree of values with its own serial work queue ("LogQueue"). Every
// change, and the reading of the text to save, runs on that queue in the
// order asked, so records appear in the order they were added and a save
// sees them all.
class Log {
public:
    Log();
    virtual ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // Runs `change` on the work queue with the root, after everything queued before.
    void modify(std::function<void(JObject& root)> change);
    // Runs `read` on the work queue after everything queued before, and waits for it.
    void modifyAndWait(const std::function<void(JObject& root)>& read);

protected:
    std::shared_ptr<JObject> m_root;  // touched on the work queue only
    // Declared after the root: destroyed first, it runs what is still queued
    // while the root is alive.
    std::shared_ptr<platform::SerialQueue> m_workQueue;
};

}  // namespace kestrane
