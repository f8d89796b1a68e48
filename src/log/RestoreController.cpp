#include "log/RestoreController.h"

#include "log/FolderNames.h"
#include "log/LogDates.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"
#include "platform/SafeFileOperations.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <functional>
#include <sstream>
#include <sys/random.h>

namespace kestrane {

namespace {

std::uint64_t freshIdHash() {
    unsigned char bytes[16] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        static std::atomic<std::uint64_t> counter{1};
        const std::uint64_t value = counter.fetch_add(1);
        for (std::size_t i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // a version 4 UUID
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uuid;
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) uuid += '-';
        uuid += kHex[bytes[i] >> 4];
        uuid += kHex[bytes[i] & 15];
    }
    return std::hash<std::string>{}(uuid);
}

}  // namespace

std::shared_ptr<RestoreController> RestoreController::create(const std::string& path) {
    std::string name(platform::lastPathComponent(path));
    constexpr std::string_view kExtension = ".log";
    if (!name.ends_with(kExtension)) return nullptr;
    const auto date = parseLogDate(std::string_view(name).substr(0, name.size() - kExtension.size()));
    if (!date) return nullptr;
    return std::make_shared<RestoreController>(Key(), path, std::move(name), *date);
}

RestoreController::RestoreController(Key, std::string path, std::string name, std::int64_t date)
    : m_path(std::move(path)),
      m_name(std::move(name)),
      m_idHash(freshIdHash()),
      m_folderNames(std::make_shared<FolderNames>()),
      m_date(date) {}

std::int64_t RestoreController::date() const {
    std::lock_guard lock(m_mutex);
    return m_date;
}

std::string RestoreController::application() const {
    std::lock_guard lock(m_mutex);
    return m_application;
}

RestoreController::LoadingState RestoreController::loadingState() const {
    std::lock_guard lock(m_mutex);
    return m_loadingState;
}

RestoreController::Loaded RestoreController::read(const std::string& path, const std::weak_ptr<RestoreController>& self,
                                                  const std::shared_ptr<FolderNames>& folderNames) {
    Loaded loaded;
    std::ifstream in(path, std::ios::binary);
    if (!in) return loaded;
    std::stringstream text;
    text << in.rdbuf();
    // A log that cannot be read or is not JSON has nothing to offer; no message.
    const nlohmann::json json = nlohmann::json::parse(text.str(), nullptr, false);
    if (!json.is_object()) return loaded;
    if (const auto date = json.find("date"); date != json.end() && date->is_string())
        loaded.date = parseLogDate(date->get<std::string>());
    if (const auto application = json.find("application"); application != json.end() && application->is_string())
        loaded.application = application->get<std::string>();
    const auto changes = json.find("changes");
    if (changes == json.end() || !changes->is_object()) return loaded;
    // In the order the groups were numbered ("1", "2", ... "10").
    std::vector<std::pair<std::string, const nlohmann::json*>> entries;
    for (auto it = changes->begin(); it != changes->end(); ++it) entries.emplace_back(it.key(), &it.value());
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
    });
    for (const auto& [key, entry] : entries)
        if (auto group = RestoreGroup::fromJson(*entry, self, folderNames)) loaded.groups.push_back(std::move(group));
    return loaded;
}

void RestoreController::apply(Loaded loaded) {
    std::vector<std::shared_ptr<BaseRemovedItem>> oldChildren;
    std::vector<std::shared_ptr<BaseRemovedItem>> children;
    for (const auto& group : loaded.groups)
        for (const auto& child : group->children()) children.push_back(child);
    std::vector<std::function<void()>> completions;
    {
        std::lock_guard lock(m_mutex);
        if (loaded.date) m_date = *loaded.date;
        m_application = std::move(loaded.application);
        oldChildren = std::move(m_children);
        m_groups = std::move(loaded.groups);
        m_children = children;
        m_loadingState = LoadingState::loaded;
        completions = std::move(m_pendingCompletions);
        m_pendingCompletions.clear();
    }
    m_folderNames->clear();
    for (const auto& child : oldChildren) child->removeListener(this);
    const auto self = shared_from_this();
    for (const auto& child : children) child->addListener(self);
    const auto delegate = m_delegate.lock();
    if (children.empty() && delegate) delegate->restoreControllerAppearedToBeEmptyAfterLoading(*this);
    if (delegate) delegate->restoreControllerLoadingStateDidUpdate(*this);
    for (auto& completion : completions)
        if (completion) completion();
}

void RestoreController::loadNow() {
    {
        std::lock_guard lock(m_mutex);
        m_loadingState = LoadingState::loading;
    }
    apply(read(m_path, weak_from_this(), m_folderNames));
}

void RestoreController::loadOnlyIfHasNoLoadedData(bool onlyIfNotLoaded, std::function<void()> completion) {
    bool alreadyLoaded = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_loadingState == LoadingState::loading) {
            m_pendingCompletions.push_back(std::move(completion));
            return;
        }
        if (m_loadingState == LoadingState::loaded && onlyIfNotLoaded) {
            alreadyLoaded = true;
        } else {
            m_pendingCompletions.push_back(std::move(completion));
            m_loadingState = LoadingState::loading;
        }
    }
    if (alreadyLoaded) {
        if (completion) completion();
        return;
    }
    if (const auto delegate = m_delegate.lock()) delegate->restoreControllerLoadingStateDidUpdate(*this);
    platform::backgroundQueue().async([self = shared_from_this()] {
        auto loaded = read(self->m_path, self, self->m_folderNames);
        platform::MainQueue::shared().async(
            [self, loaded = std::make_shared<Loaded>(std::move(loaded))]() mutable { self->apply(std::move(*loaded)); });
    });
}

std::vector<std::shared_ptr<RestoreGroup>> RestoreController::groups() const {
    std::lock_guard lock(m_mutex);
    return m_groups;
}

std::vector<std::shared_ptr<BaseRemovedItem>> RestoreController::children() const {
    std::lock_guard lock(m_mutex);
    return m_children;
}

std::size_t RestoreController::calculateNumberOfRestorableItems() const {
    std::size_t count = 0;
    for (const auto& child : children())
        if (child->isRestorable()) ++count;
    return count;
}

std::shared_ptr<BaseRemovedItem> RestoreController::firstItemFailedToRestore() const {
    for (const auto& child : children())
        if (child->isRestoreFailed()) return child;
    return nullptr;
}

std::optional<std::size_t> RestoreController::indexOfFirstItemFailedToRestore() const {
    const auto items = children();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i]->isRestoreFailed()) return i;
    return std::nullopt;
}

RestoreController::SelectionState RestoreController::selectionState() const {
    std::size_t selected = 0;
    std::size_t selectable = 0;
    for (const auto& child : children()) {
        if (child->isSelected()) ++selected;
        if (child->isSelected() || (!child->isRestored() && child->isRestorable())) ++selectable;
    }
    if (selected == 0) return SelectionState::none;
    return selected == selectable ? SelectionState::all : SelectionState::some;
}

void RestoreController::setSelectionState(SelectionState state) {
    for (const auto& child : children()) child->setIsSelected(state == SelectionState::all);
}

bool RestoreController::haveSelectableItems() const {
    for (const auto& child : children())
        if (!child->isRestored() && child->isRestorable()) return true;
    return false;
}

void RestoreController::baseRemovedItemStateDidUpdate(BaseRemovedItem& item) {
    if (const auto delegate = m_delegate.lock()) delegate->restoreControllerRemovedItemStateDidUpdate(*this, item);
}

void RestoreController::baseRemovedItemSelectionDidChange(BaseRemovedItem&) {
    if (const auto delegate = m_delegate.lock()) delegate->restoreControllerSelectionDidChange(*this);
}

}  // namespace kestrane
