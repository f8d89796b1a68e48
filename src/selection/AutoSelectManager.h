#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

class DuplicateItem;
class DuplicatesContainer;
class DuplicatesGroup;
class Settings;

// What the folder lists say about one copy.
enum class AutoSelectChoice : std::int32_t {
    none = 0,         // under no listed folder
    select = 1,       // under an always-select folder
    neverSelect = 2,  // under a never-select folder
};

// The candidates of auto-select in one group: the copies that the name and
// folder rules would select, and their size.
struct AutoSelectCandidates {
    std::shared_ptr<DuplicatesGroup> group;
    std::vector<std::shared_ptr<DuplicateItem>> duplicateArray;
    std::uint64_t size = 0;
};

// Receives the candidates of auto-select, on the main queue.
class AutoSelectCandidatesDelegate {
public:
    virtual ~AutoSelectCandidatesDelegate() = default;
    virtual void onCalculatedDuplicatesForAutoselect(const std::vector<AutoSelectCandidates>& candidates) = 0;
};

// The folder rules of auto-select: the always-select and never-select folder
// lists of the preferences, prepared for prefix tests, and the rule they give
// a path. The most specific listed folder wins; an always-select folder wins
// over a never-select folder of the same length. Paths are compared byte for
// byte (on Linux two spellings of a name are two folders).
//
// The shared manager is the one every selection command uses, on the main
// queue; each time the never-select list decides, it is counted in
// DuplicateItemActionsStatistics. A manager of its own (not counting) serves a
// computation on another queue.
class AutoSelectManager {
public:
    using Items = std::vector<std::shared_ptr<DuplicateItem>>;
    using Groups = std::vector<std::shared_ptr<DuplicatesGroup>>;

    static AutoSelectManager& sharedManager();

    // countNeverSelectUse: tell DuplicateItemActionsStatistics each time the
    // never-select list decides (main queue only).
    explicit AutoSelectManager(bool countNeverSelectUse = false) : m_countNeverSelectUse(countNeverSelectUse) {}

    // Reloads both lists from the standard settings, or from the given ones.
    void prepareForStartByLoadingLatestUserSettings();
    void prepareWithSettings(const Settings& settings);
    // Takes the two lists as stored and prepares them.
    void setFolderLists(std::vector<std::string> alwaysSelect, std::vector<std::string> neverSelect);

    // The prepared lists: each entry ends with "/", longest first.
    const std::vector<std::string>& alwaysSelectPaths() const { return m_alwaysSelectPaths; }
    const std::vector<std::string>& neverSelectPaths() const { return m_neverSelectPaths; }

    AutoSelectChoice getChoiceUsingUserAutoSelectPathsForPath(std::string_view path) const;

    // The copies that the name and folder rules choose in one group (in the
    // group's order), and in each of the groups.
    Items getDuplicateItemsForAutoSelectFromItems(const Items& items) const;
    Items getDuplicateItemsForAutoSelectFromGroups(const Groups& groups) const;

    // Drops entries shorter than 2 bytes, ends each with "/", and sorts them
    // longest first (equal lengths keep their order).
    static std::vector<std::string> preparePathsArrayToUse(std::vector<std::string> paths);
    // The length of the first of the prepared prefixes, longest first, that
    // begins the path, trying only those longer than lengthBiggerThan; -1
    // when none does.
    static std::int64_t getMaxPrefixLenOfPath(std::string_view path, const std::vector<std::string>& prefixes,
                                              std::int64_t lengthBiggerThan);

    // The candidates of every group of the current result (the duplicates
    // manager's), computed by a later task of the main queue (where the result
    // lives) with the lists as they are now, and handed to the delegate if it
    // is still there.
    // Nothing is selected and nothing is cached on the items. Main queue.
    static void calculateDuplicatesForAutoselectWithDelegate(std::weak_ptr<AutoSelectCandidatesDelegate> delegate);
    // The same, at once, for any result: one record per group with
    // candidates, largest size first.
    static std::vector<AutoSelectCandidates> pleaseCalculateDuplicatesForAutoselect(
        const DuplicatesContainer* container, const AutoSelectManager& rules);

private:
    // cacheNames: keep the name analyses of folders on the items (main queue).
    Items candidatesOf(const Items& items, bool cacheNames) const;

    std::vector<std::string> m_alwaysSelectPaths;
    std::vector<std::string> m_neverSelectPaths;
    bool m_countNeverSelectUse = false;
};

}  // namespace kestrane
