#include "folders/HeapsPairFinder.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/HeapsFolderData.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

namespace kestrane {

namespace {

bool hasEntryFor(const std::vector<HeapsPairEntry>& entries, std::uint32_t second) {
    const auto it = std::lower_bound(entries.begin(), entries.end(), second,
                                     [](const HeapsPairEntry& entry, std::uint32_t value) { return entry.second < value; });
    return it != entries.end() && it->second == second;
}

}  // namespace

HeapsPairFinder::HeapsPairFinder(std::vector<std::shared_ptr<HeapsFolderData>> records, std::uint64_t maximalPairCount)
    : m_arrRecords(std::move(records)), m_nMaximalPairCount(maximalPairCount) {}

void HeapsPairFinder::prepare() {
    const std::size_t count = m_arrRecords.size();
    m_arrTraits.clear();
    m_arrTraits.reserve(count);
    for (const auto& record : m_arrRecords) m_arrTraits.push_back(HeapsFolderTraits::of(record->getFolderSystemItem()));

    struct Copy {
        std::uint64_t group;
        std::uint32_t record;
        std::uint64_t size;
    };
    std::vector<Copy> copies;
    for (std::uint32_t index = 0; index < count; ++index)
        for (const auto& item : m_arrRecords[index]->getItems())
            if (const auto group = item->getGroup()) copies.push_back({group->getGroupID(), index, item->getFileItemSize()});
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        return a.group != b.group ? a.group < b.group : a.record < b.record;
    });

    m_arrGroupIDs.clear();
    m_arrPostingStarts.clear();
    m_arrPostings.clear();
    std::vector<std::size_t> membershipsPerRecord(count + 1, 0);
    for (const Copy& copy : copies) {
        if (m_arrGroupIDs.empty() || m_arrGroupIDs.back() != copy.group) {
            m_arrGroupIDs.push_back(copy.group);
            m_arrPostingStarts.push_back(m_arrPostings.size());
        } else if (m_arrPostings.back().record == copy.record) {
            m_arrPostings.back().size += copy.size;  // another copy of the group in the same folder
            continue;
        }
        m_arrPostings.push_back({copy.record, copy.size});
        ++membershipsPerRecord[copy.record + 1];
    }
    m_arrPostingStarts.push_back(m_arrPostings.size());

    // Record -> its groups, ascending (the postings are walked group by group).
    for (std::size_t index = 1; index <= count; ++index) membershipsPerRecord[index] += membershipsPerRecord[index - 1];
    m_arrMembershipStarts = membershipsPerRecord;
    m_arrMemberships.assign(m_arrPostings.size(), Membership{});
    for (std::uint32_t group = 0; group + 1 < m_arrPostingStarts.size(); ++group)
        for (std::size_t at = m_arrPostingStarts[group]; at < m_arrPostingStarts[group + 1]; ++at)
            m_arrMemberships[membershipsPerRecord[m_arrPostings[at].record]++] = {group, m_arrPostings[at].size};

    m_arrSharedCounts.assign(count, 0);
    m_arrSharedSizes.assign(count, 0);
    m_arrIsPartner.assign(count, 0);
}

void HeapsPairFinder::run(const StopQuestion& stop, const VisitReport& visited) {
    prepare();
    m_nVisitLimit = m_arrRecords.size();
    m_nAsked = 0;
    m_nReported = 0;
    if (!sweep(Mode::keepAll, stop, visited)) {
        // Too many pairs: find the size of the smallest pair that may be kept, then keep again.
        m_arrBiggestSizes.clear();
        sweep(Mode::measure, stop, visited);
        const auto above = [this](std::uint64_t threshold) {
            return static_cast<std::uint64_t>(std::count_if(m_arrBiggestSizes.begin(), m_arrBiggestSizes.end(),
                                                            [threshold](std::uint64_t size) { return size > threshold; }));
        };
        if (m_nMaximalPairCount == 0) {
            m_nThreshold = std::numeric_limits<std::uint64_t>::max();
            m_nTieBudget = 0;
        } else if (m_arrBiggestSizes.size() < m_nMaximalPairCount) {
            m_nThreshold = 0;  // a stop left fewer pairs than may be kept
            m_nTieBudget = m_nMaximalPairCount;
        } else {
            m_nThreshold = m_arrBiggestSizes.front();
            m_nTieBudget = m_nMaximalPairCount - above(m_nThreshold);
        }
        m_arrBiggestSizes = {};
        sweep(Mode::keepBiggest, stop, visited);
    }

    for (auto& row : m_arrRows)
        for (auto* entries : {&row.heaps, &row.heapsWithDuplicatesFolder})
            std::sort(entries->begin(), entries->end(), [this](const HeapsPairEntry& a, const HeapsPairEntry& b) {
                if (a.halfSize != b.halfSize) return a.halfSize > b.halfSize;
                return m_arrRecords[a.second]->getID() < m_arrRecords[b.second]->getID();
            });

    m_arrSharedCounts = {};
    m_arrSharedSizes = {};
    m_arrIsPartner = {};
    m_arrTouched = {};
    m_arrPostings = {};
    m_arrMemberships = {};
}

bool HeapsPairFinder::sweep(Mode mode, const StopQuestion& stop, const VisitReport& visited) {
    m_arrRows.assign(m_arrRecords.size(), Row{});
    m_nFoundPairs = 0;
    m_nKeptPairs = 0;
    m_nStoredPairs = 0;
    for (std::uint32_t index = 0; index < m_nVisitLimit; ++index) {
        if (index >= m_nAsked) {
            m_nAsked = index + 1;
            if (stop && stop()) {
                m_nVisitLimit = index;
                break;
            }
        }
        if (!visit(index, mode)) return false;
        if (index >= m_nReported) {
            m_nReported = index + 1;
            if (visited) visited(index, m_arrRows[index]);
        }
    }
    if (mode != Mode::measure && m_nVisitLimit < m_arrRecords.size()) addReversedPairsOfUnvisitedRecords();
    return true;
}

bool HeapsPairFinder::keepFirstSeen(Mode mode, std::uint64_t halfSize) {
    switch (mode) {
        case Mode::keepAll:
            return true;
        case Mode::measure:
            if (m_arrBiggestSizes.size() < m_nMaximalPairCount) {
                m_arrBiggestSizes.push_back(halfSize);
                std::push_heap(m_arrBiggestSizes.begin(), m_arrBiggestSizes.end(), std::greater<>());
            } else if (!m_arrBiggestSizes.empty() && halfSize > m_arrBiggestSizes.front()) {
                std::pop_heap(m_arrBiggestSizes.begin(), m_arrBiggestSizes.end(), std::greater<>());
                m_arrBiggestSizes.back() = halfSize;
                std::push_heap(m_arrBiggestSizes.begin(), m_arrBiggestSizes.end(), std::greater<>());
            }
            return false;
        case Mode::keepBiggest:
            if (halfSize > m_nThreshold) return true;
            if (halfSize == m_nThreshold && m_nTieBudget > 0) {
                --m_nTieBudget;
                return true;
            }
            return false;
    }
    return false;
}

bool HeapsPairFinder::visit(std::uint32_t index, Mode mode) {
    // Every other record holding a copy of one of the folder's groups: how
    // many groups it shares with the folder, and the size of both folders'
    // copies in them.
    m_arrTouched.clear();
    for (std::size_t m = m_arrMembershipStarts[index]; m < m_arrMembershipStarts[index + 1]; ++m) {
        const Membership& membership = m_arrMemberships[m];
        for (std::size_t at = m_arrPostingStarts[membership.group]; at < m_arrPostingStarts[membership.group + 1]; ++at) {
            const Posting& posting = m_arrPostings[at];
            if (posting.record == index) continue;
            if (m_arrSharedCounts[posting.record]++ == 0) m_arrTouched.push_back(posting.record);
            m_arrSharedSizes[posting.record] += membership.size + posting.size;
        }
    }
    std::sort(m_arrTouched.begin(), m_arrTouched.end());

    Row& row = m_arrRows[index];
    bool anyPartner = false;
    bool withinLimit = true;
    for (const std::uint32_t other : m_arrTouched) {
        const std::uint32_t shared = std::exchange(m_arrSharedCounts[other], 0);
        const std::uint64_t size = std::exchange(m_arrSharedSizes[other], 0);
        if (!withinLimit || shared < DuplicatesHeap::kMinimalCountOfSharedGroups ||
            !HeapsFolderTraits::canBeSimilar(m_arrTraits[index], m_arrTraits[other]))
            continue;
        const bool apart = m_arrTraits[index].isOrIsInDuplicateFolder || m_arrTraits[other].isOrIsInDuplicateFolder;
        const HeapsPairEntry entry{other, shared, size / 2};
        auto& entries = apart ? row.heapsWithDuplicatesFolder : row.heaps;
        if (apart) {
            ++row.foundHeapsWithDuplicatesFolder;
        } else {
            ++row.foundHeaps;
            m_arrIsPartner[other] = 1;
            anyPartner = true;
        }
        bool keep = false;
        if (other > index) {
            // First seen from this folder: decided here.
            if (!apart) ++m_nFoundPairs;
            keep = keepFirstSeen(mode, entry.halfSize);
            if (keep) {
                if (!apart) ++m_nKeptPairs;
                if (++m_nStoredPairs > m_nMaximalPairCount) withinLimit = false;  // only in keepAll
            }
        } else if (mode != Mode::measure) {
            // Decided when the other folder was visited.
            const auto& others = apart ? m_arrRows[other].heapsWithDuplicatesFolder : m_arrRows[other].heaps;
            keep = hasEntryFor(others, index);
        }
        if (keep) entries.push_back(entry);
    }

    if (anyPartner) {
        std::vector<std::uint32_t> groups;
        for (std::size_t m = m_arrMembershipStarts[index]; m < m_arrMembershipStarts[index + 1]; ++m) {
            const std::uint32_t group = m_arrMemberships[m].group;
            for (std::size_t at = m_arrPostingStarts[group]; at < m_arrPostingStarts[group + 1]; ++at) {
                const std::uint32_t holder = m_arrPostings[at].record;
                if (holder != index && m_arrIsPartner[holder]) {
                    groups.push_back(group);
                    break;
                }
            }
        }
        row.participatingItems = itemsInGroups(index, groups);
        for (const std::uint32_t other : m_arrTouched) m_arrIsPartner[other] = 0;
    }
    return withinLimit;
}

void HeapsPairFinder::addReversedPairsOfUnvisitedRecords() {
    const auto limit = static_cast<std::uint32_t>(m_nVisitLimit);
    for (std::uint32_t index = 0; index < limit; ++index)
        for (const HeapsPairEntry& entry : m_arrRows[index].heaps) {
            if (entry.second < limit) continue;
            Row& reversed = m_arrRows[entry.second];
            reversed.heaps.push_back({index, entry.sharedGroups, entry.halfSize});
            ++reversed.foundHeaps;
        }
    for (std::uint32_t index = limit; index < m_arrRows.size(); ++index) {
        Row& row = m_arrRows[index];
        if (row.heaps.empty()) continue;
        for (const HeapsPairEntry& entry : row.heaps) m_arrIsPartner[entry.second] = 1;
        std::vector<std::uint32_t> groups;
        for (std::size_t m = m_arrMembershipStarts[index]; m < m_arrMembershipStarts[index + 1]; ++m) {
            const std::uint32_t group = m_arrMemberships[m].group;
            for (std::size_t at = m_arrPostingStarts[group]; at < m_arrPostingStarts[group + 1]; ++at)
                if (m_arrIsPartner[m_arrPostings[at].record]) {
                    groups.push_back(group);
                    break;
                }
        }
        row.participatingItems = itemsInGroups(index, groups);
        for (const HeapsPairEntry& entry : row.heaps) m_arrIsPartner[entry.second] = 0;
    }
}

std::vector<std::shared_ptr<DuplicateItem>> HeapsPairFinder::itemsInGroups(std::uint32_t index,
                                                                           const std::vector<std::uint32_t>& groups) const {
    std::vector<std::uint64_t> ids;
    ids.reserve(groups.size());
    for (const std::uint32_t group : groups) ids.push_back(m_arrGroupIDs[group]);  // ascending, as the groups
    std::vector<std::shared_ptr<DuplicateItem>> items;
    for (const auto& item : m_arrRecords[index]->getItems()) {
        const auto group = item->getGroup();
        if (group && std::binary_search(ids.begin(), ids.end(), group->getGroupID())) items.push_back(item);
    }
    return items;
}

}  // namespace kestrane
