#include "selection/AutoSelectGroupSeparator.h"

#include "duplicates/DuplicateItem.h"
#include "scan/AutoSelectName.h"
#include "scan/FileSystemItem.h"
#include "selection/AutoSelectManager.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace kestrane {

AutoSelectGroupSeparator::AutoSelectGroupSeparator(Items items, bool cacheNames)
    : m_itemsForSeparate(std::move(items)), m_cacheNames(cacheNames) {}

AutoSelectGroupSeparator::~AutoSelectGroupSeparator() = default;

void AutoSelectGroupSeparator::separateItemsUsingManager(const AutoSelectManager* manager) {
    m_items.clear();
    m_itemsForAutoSelect.clear();
    m_items.reserve(m_itemsForSeparate.size());
    for (const auto& item : m_itemsForSeparate) m_items.emplace_back(item, manager);

    // Copies under an always-select folder are chosen as they are; the rest
    // are compared by name. When every copy is under one, the folder rules
    // cannot tell them apart and are left out for this group.
    std::vector<AutoSelectItem*> rest;
    for (AutoSelectItem& item : m_items)
        if (item.getChoice() != AutoSelectChoice::select) rest.push_back(&item);
    if (rest.empty()) {
        m_items.clear();
        for (const auto& item : m_itemsForSeparate) m_items.emplace_back(item, nullptr);
        for (AutoSelectItem& item : m_items) rest.push_back(&item);
    }
    selectUsingPathItems(std::move(rest), 1);
    prepareResult();
}

const AutoSelectName& AutoSelectGroupSeparator::nameOf(FileSystemItem& component, std::size_t depth) {
    if (m_cacheNames) return component.getAutoSelectData();
    // A copy's own name was analysed when it joined its group; a folder's
    // links may be changing on the main queue, so they are not even read.
    if (depth == 1)
        if (const AutoSelectName* built = component.builtAutoSelectData()) return *built;
    auto& name = m_names[&component];
    if (!name) name = std::make_unique<AutoSelectName>(AutoSelectName::buildAutoSelectNameForFileItem(component));
    return *name;
}

void AutoSelectGroupSeparator::selectUsingPathItems(std::vector<AutoSelectItem*> items, std::size_t depth) {
    // Ties go one level up; a list of levels still to compare instead of
    // recursion, since a tree may be thousands of folders deep.
    std::vector<std::pair<std::vector<AutoSelectItem*>, std::size_t>> pending;
    pending.emplace_back(std::move(items), depth);
    while (!pending.empty()) {
        auto [level, d] = std::move(pending.back());
        pending.pop_back();

        // Buckets by core name, in the order their first item comes.
        using Named = std::pair<AutoSelectItem*, const AutoSelectName*>;
        std::vector<std::vector<Named>> buckets;
        std::unordered_map<std::string_view, std::size_t> bucketOfCore;
        for (AutoSelectItem* item : level) {
            FileSystemItem* component = item->getComponentWithIndex(d);
            if (!component) continue;
            const AutoSelectName& name = nameOf(*component, d);
            const auto [found, added] = bucketOfCore.try_emplace(name.getCoreName(), buckets.size());
            if (added) buckets.emplace_back();
            buckets[found->second].emplace_back(item, &name);
        }
        for (const auto& bucket : buckets) {
            std::vector<AutoSelectItem*> tied = selectItemsInBucket(bucket);
            if (tied.size() >= 2) pending.emplace_back(std::move(tied), d + 1);
        }
    }
}

std::vector<AutoSelectItem*> AutoSelectGroupSeparator::selectItemsInBucket(
    const std::vector<std::pair<AutoSelectItem*, const AutoSelectName*>>& bucket) {
    std::vector<AutoSelectItem*> tied;
    std::vector<AutoSelectItem*> toSelect;
    const AutoSelectName* best = nullptr;
    for (const auto& [item, name] : bucket) {
        if (!best) {
            best = name;
            tied.push_back(item);
            continue;
        }
        const int order = best->compareWithSelectName(*name);
        if (order < 0) {
            toSelect.push_back(item);  // the best looks more like the original
        } else if (order == 0) {
            tied.push_back(item);
        } else {
            toSelect.insert(toSelect.end(), tied.begin(), tied.end());
            tied.assign(1, item);
            best = name;
        }
    }
    // A copy under a never-select folder is compared but never chosen.
    for (AutoSelectItem* item : toSelect)
        if (item->getChoice() == AutoSelectChoice::none) item->setChoice(AutoSelectChoice::select);
    return tied;
}

void AutoSelectGroupSeparator::prepareResult() {
    m_itemsForAutoSelect.clear();
    for (const AutoSelectItem& item : m_items)
        if (item.getChoice() == AutoSelectChoice::select && item.item() && !item.item()->getAssociatedDuplicateFolder())
            m_itemsForAutoSelect.push_back(item.item());
}

}  // namespace kestrane
