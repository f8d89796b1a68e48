#include "folders/SimpleFolderInfo.h"

#include "duplicates/DuplicateItem.h"
#include "scan/FolderSystemItem.h"

#include <algorithm>
#include <deque>
#include <unordered_map>
#include <unordered_set>

namespace kestrane {

namespace {

// Every folder of a bucket has the same size and descendant count: the first one stands for all.
std::int64_t sizeOfGroup(const SimpleFolderInfoGroup& group) {
    return group.empty() ? 0 : group.front().getSystemItem()->logicalSize();
}

std::uint64_t deepCountOfGroup(const SimpleFolderInfoGroup& group) {
    return group.empty() ? 0 : group.front().getSystemItem()->getCountOfDeepChildren();
}

}  // namespace

bool SimpleFolderInfo::isCanBeDuplicate() const {
    const FolderSystemItem& folder = *m_pFolderItem;
    if (folder.hasExcludeContent()) return false;
    if (folder.isCheckedForDuplicates() && folder.getDuplicateItem() == nullptr) return false;
    // Breadth first: anything below already known to be unique rules the folder out.
    std::deque<const FolderSystemItem*> pending{&folder};
    while (!pending.empty()) {
        const FolderSystemItem* current = pending.front();
        pending.pop_front();
        for (const auto& child : current->childrenArray()) {
            if (child->isCheckedForDuplicates() && child->getDuplicateItem() == nullptr) return false;
            if (child->isDir()) pending.push_back(static_cast<const FolderSystemItem*>(child.get()));
        }
    }
    return true;
}

std::optional<std::string> SimpleFolderInfo::buildIdentifierForMethod(int method) const {
    if (method != 1) return std::nullopt;
    return buildSizeAndChildrenCountIdentifier();
}

std::string SimpleFolderInfo::buildSizeAndChildrenCountIdentifier() const {
    return m_pFolderItem->sizeAndChildrenCountIdentifier();
}

std::vector<SimpleFolderInfoGroup> SimpleFolderInfo::GroupFoldersWithMethod(const std::vector<SimpleFolderInfo>& folders,
                                                                            int method) {
    std::vector<SimpleFolderInfoGroup> buckets;
    std::unordered_map<std::string, std::size_t> indexOfIdentifier;
    for (const SimpleFolderInfo& info : folders) {
        auto identifier = info.buildIdentifierForMethod(method);
        if (!identifier) continue;
        auto [it, isNew] = indexOfIdentifier.try_emplace(std::move(*identifier), buckets.size());
        if (isNew) buckets.emplace_back();
        buckets[it->second].push_back(info);
    }
    std::vector<SimpleFolderInfoGroup> kept;
    for (auto& bucket : buckets) {
        if (bucket.size() < 2) {
            for (const SimpleFolderInfo& lonely : bucket) lonely.getSystemItem()->setIsCheckedForDuplicates(true);
            continue;
        }
        kept.push_back(std::move(bucket));
    }
    return kept;
}

std::vector<SimpleFolderInfoGroup> SimpleFolderInfo::PreSortedGroupsBySizeFromBigToSmall(
    std::vector<SimpleFolderInfoGroup> groups) {
    std::stable_sort(groups.begin(), groups.end(), [](const SimpleFolderInfoGroup& a, const SimpleFolderInfoGroup& b) {
        return sizeOfGroup(a) > sizeOfGroup(b);
    });
    return groups;
}

std::vector<SimpleFolderInfoGroup> SimpleFolderInfo::SortedGroupsBySizeFromSmallToBig(
    std::vector<SimpleFolderInfoGroup> groups) {
    std::stable_sort(groups.begin(), groups.end(), [](const SimpleFolderInfoGroup& a, const SimpleFolderInfoGroup& b) {
        const std::int64_t sizeA = sizeOfGroup(a), sizeB = sizeOfGroup(b);
        if (sizeA != sizeB) return sizeA < sizeB;
        return deepCountOfGroup(a) < deepCountOfGroup(b);
    });
    return groups;
}

std::vector<SimpleFolderInfoGroup> SimpleFolderInfo::SortedGroupsBySizeFromBigToSmall(
    std::vector<SimpleFolderInfoGroup> groups) {
    groups = PreSortedGroupsBySizeFromBigToSmall(std::move(groups));

    // Which bucket each candidate folder belongs to.
    std::unordered_map<const FolderSystemItem*, std::size_t> bucketOfFolder;
    for (std::size_t index = 0; index < groups.size(); ++index)
        for (const SimpleFolderInfo& info : groups[index]) bucketOfFolder.emplace(info.getSystemItem(), index);

    std::vector<bool> taken(groups.size(), false);
    // Candidate folders found below a folder already walked: their own
    // subtrees were part of that walk and are not walked again.
    std::unordered_set<const FolderSystemItem*> walkedThroughAncestor;

    std::vector<SimpleFolderInfoGroup> result;
    result.reserve(groups.size());
    for (std::size_t start = 0; start < groups.size(); ++start) {
        if (taken[start]) continue;
        taken[start] = true;
        std::vector<std::size_t> cluster{start};
        for (std::size_t next = 0; next < cluster.size(); ++next) {
            for (const SimpleFolderInfo& info : groups[cluster[next]]) {
                const FolderSystemItem* folder = info.getSystemItem();
                if (walkedThroughAncestor.contains(folder)) continue;
                for (FolderSystemItem* inner : folder->subFoldersDeepArray()) {
                    const auto found = bucketOfFolder.find(inner);
                    if (found == bucketOfFolder.end()) continue;
                    walkedThroughAncestor.insert(inner);
                    const std::size_t nested = found->second;
                    if (taken[nested]) continue;
                    taken[nested] = true;
                    cluster.push_back(nested);
                }
            }
        }
        std::vector<SimpleFolderInfoGroup> ordered;
        ordered.reserve(cluster.size());
        for (std::size_t index : cluster) ordered.push_back(std::move(groups[index]));
        for (auto& group : SortedGroupsBySizeFromSmallToBig(std::move(ordered))) result.push_back(std::move(group));
    }
    return result;
}

}  // namespace kestrane
