#include "removal/DuplicateItemsRemoverBehaviorLog.h"

#include "platform/NoDestructor.h"

namespace kestrane {

namespace {

struct SharedLog {
    std::mutex mutex;
    std::shared_ptr<DuplicateItemsRemoverBehaviorLog> log = std::make_shared<DuplicateItemsRemoverBehaviorLog>();
};

// Never destroyed: a remover still finishing at exit may add a line.
SharedLog& sharedLog() {
    static platform::NoDestructor<SharedLog> shared;
    return *shared;
}

}  // namespace

std::shared_ptr<DuplicateItemsRemoverBehaviorLog> DuplicateItemsRemoverBehaviorLog::shared() {
    std::lock_guard lock(sharedLog().mutex);
    return sharedLog().log;
}

void DuplicateItemsRemoverBehaviorLog::setShared(std::shared_ptr<DuplicateItemsRemoverBehaviorLog> log) {
    std::lock_guard lock(sharedLog().mutex);
    sharedLog().log = log ? std::move(log) : std::make_shared<DuplicateItemsRemoverBehaviorLog>();
}

void DuplicateItemsRemoverBehaviorLog::addLine(std::string_view line) {
    std::lock_guard lock(m_mutex);
    m_content.append(line);
    m_content.push_back('\n');
}

void DuplicateItemsRemoverBehaviorLog::clear() {
    std::lock_guard lock(m_mutex);
    m_content.clear();
}

std::string DuplicateItemsRemoverBehaviorLog::content() const {
    std::lock_guard lock(m_mutex);
    return m_content;
}

}  // namespace kestrane
