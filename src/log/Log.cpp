#include "log/Log.h"

#include "log/JObject.h"
#include "platform/SerialQueue.h"

namespace kestrane {

Log::Log() : m_root(std::make_shared<JObject>()), m_workQueue(platform::SerialQueue::create("LogQueue")) {}

Log::~Log() = default;

void Log::modify(std::function<void(JObject& root)> change) {
    m_workQueue->async([root = m_root, change = std::move(change)] { change(*root); });
}

void Log::modifyAndWait(const std::function<void(JObject& root)>& read) {
    m_workQueue->sync([&] { read(*m_root); });
}

}  // namespace kestrane
