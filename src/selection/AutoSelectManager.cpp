#include "selection/AutoSelectManager.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/DuplicatesManager.h"
#include "platform/MainQueue.h"
#include "platform/NoDestructor.h"
#include "selection/AutoSelectGroupSeparator.h"
#include "selection/DuplicateItemActionsStatistics.h"
#include "settings/Settings.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kestrane {

AutoSelectManager& AutoSelectManager::sharedManager() {
    static platform::NoDestructor<AutoSelectManager> manager(true);
    return *manager;
}

void AutoSelectManager::prepareForStartByLoadingLatestUserSettings() {
    prepareWithSettings(Settings::standard());
}

void AutoSelectManager::prepareWithSettings(const Settings& settings) {
    setFolderLists(settings.autoAlwaysSelectFolders(), settings.autoNeverSelectFolders());
}

void AutoSelectManager::setFolderLists(std::vector<std::string> alwaysSelect, std::vector<std::string> neverSelect) {
    m_alwaysSelectPaths = preparePathsArrayToUse(std::move(alwaysSelect));
    m_neverSelectPaths = preparePathsArrayToUse(std::move(neverSelect));
}

std::vector<std::string> AutoSelectManager::preparePathsArrayToUse(std::vector<std::string> paths) {
    std::erase_if(paths, [](const std::string& path) { return path.size() < 2; });
    for (std::string& path : paths)
        if (path.back() != '/') path += '/';
    std::stable_sort(paths.begin(), paths.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
    return paths;
}

std::int64_t AutoSelectManager::getMaxPrefixLenOfPath(std::string_view path, const std::vector<std::string>& prefixes,
                                                      std::int64_t lengthBiggerThan) {
    for (const std::string& prefix : prefixes) {
        const auto length = static_cast<std::int64_t>(prefix.size());
        if (length <= lengthBiggerThan) break;  // the rest are no longer
        if (path.starts_with(prefix)) return length;
    }
    return -1;
}

AutoSelectChoice AutoSelectManager::getChoiceUsingUserAutoSelectPathsForPath(std::string_view path) const {
    const std::int64_t always = getMaxPrefixLenOfPath(path, m_alwaysSelectPaths, 0);
    const std::int64_t never = getMaxPrefixLenOfPath(path, m_neverSelectPaths, always);
    if (always < 1 && never < 1) return AutoSelectChoice::none;
    if (always > never) return AutoSelectChoice::select;
    if (m_countNeverSelectUse) DuplicateItemActionsStatistics::shared().onNeverSelectListWasUsed();
    return AutoSelectChoice::neverSelect;
}

AutoSelectManager::Items AutoSelectManager::candidatesOf(const Items& items, bool cacheNames) const {
    AutoSelectGroupSeparator separator(items, cacheNames);
    separator.separateItemsUsingManager(this);
    return separator.getItemsForSelect();
}

AutoSelectManager::Items AutoSelectManager::getDuplicateItemsForAutoSelectFromItems(const Items& items) const {
    return candidatesOf(items, true);
}

AutoSelectManager::Items AutoSelectManager::getDuplicateItemsForAutoSelectFromGroups(const Groups& groups) const {
    Items all;
    for (const auto& group : groups) {
        if (!group) continue;
        Items chosen = candidatesOf(group->getItems(), true);
        all.insert(all.end(), std::make_move_iterator(chosen.begin()), std::make_move_iterator(chosen.end()));
    }
    return all;
}

void AutoSelectManager::calculateDuplicatesForAutoselectWithDelegate(
    std::weak_ptr<AutoSelectCandidatesDelegate> delegate) {
    // The lists as they are now; the copy counts nothing, and the computation
    // works on its own copy of them. It reads the copies, their names and
    // the folders around them, which removal and selection change on the
    // main queue: it runs there too, as a later task.
    AutoSelectManager rules(false);
    rules.prepareForStartByLoadingLatestUserSettings();
    auto container = DuplicatesManager::sharedManager().duplicateContainer();
    platform::MainQueue::shared().async(
        [container = std::move(container), rules = std::move(rules), delegate = std::move(delegate)] {
            const auto candidates = pleaseCalculateDuplicatesForAutoselect(container.get(), rules);
            if (const auto alive = delegate.lock()) alive->onCalculatedDuplicatesForAutoselect(candidates);
        });
}

std::vector<AutoSelectCandidates> AutoSelectManager::pleaseCalculateDuplicatesForAutoselect(
    const DuplicatesContainer* container, const AutoSelectManager& rules) {
    std::vector<AutoSelectCandidates> records;
    if (!container) return records;
    // Each group's candidates make one record, keyed by the group's ID.
    std::map<std::uint64_t, std::size_t> recordOfGroup;
    for (const auto& group : container->getAllFilesGroups()) {
        for (auto& item : rules.candidatesOf(group->getItems(), false)) {
            const auto owner = item->getGroup();
            if (!owner) continue;
            const auto [found, added] = recordOfGroup.try_emplace(owner->getGroupID(), records.size());
            if (added) records.push_back({owner, {}, 0});
            AutoSelectCandidates& record = records[found->second];
            record.size += item->getFileItemSize();
            record.duplicateArray.push_back(std::move(item));
        }
    }
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.size > b.size; });
    return records;
}

}  // namespace kestrane
