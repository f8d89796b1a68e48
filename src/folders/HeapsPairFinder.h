#pragma once

#include "folders/DuplicatesHeap.h"
#include "folders/HeapsGroup.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kestrane {

class HeapsFolderData;

// Finds the similar-folder pairs among folder records, folder by folder, by
// counting for each folder the groups it shares with every other folder that
// holds a copy of one of its groups (dense indices, no map lookups, no heap
// objects), and keeps them as compact entries.
//
// It keeps at most a given number of pairs. When more are found, the biggest
// are kept (ties: in the order of the records) and the others are only
// counted; the folders' counts of heaps and their participating copies still
// cover every pair found. Each pair is kept from both of its folders or from
// neither.
//
// The records are visited in the order given; stop is asked before each
// visit, at most once per record however often a sweep has to start again.
// A stopped computation keeps the pairs of the visited folders, also as seen
// from the folders not visited (those of heaps with duplicate folders
// excepted). Used from one thread.
class HeapsPairFinder {
public:
    struct Row {
        std::vector<HeapsPairEntry> heaps;  // ascending by second index until sortRows
        std::vector<HeapsPairEntry> heapsWithDuplicatesFolder;
        std::uint32_t foundHeaps = 0;
        std::uint32_t foundHeapsWithDuplicatesFolder = 0;
        std::vector<std::shared_ptr<DuplicateItem>> participatingItems;
    };
    using StopQuestion = std::function<bool()>;
    // Once per visited record, in order, with its index and row so far.
    using VisitReport = std::function<void(std::size_t index, const Row& row)>;

    HeapsPairFinder(std::vector<std::shared_ptr<HeapsFolderData>> records, std::uint64_t maximalPairCount);

    void run(const StopQuestion& stop, const VisitReport& visited);

    const std::vector<std::shared_ptr<HeapsFolderData>>& records() const { return m_arrRecords; }
    std::vector<Row>& rows() { return m_arrRows; }
    // Pairs found between folders that are not in duplicate folders, and how
    // many of them were kept.
    std::uint64_t foundPairCount() const { return m_nFoundPairs; }
    std::uint64_t keptPairCount() const { return m_nKeptPairs; }

private:
    enum class Mode { keepAll, measure, keepBiggest };
    struct Posting {
        std::uint32_t record;
        std::uint64_t size;  // of the record's copies in the group
    };
    struct Membership {
        std::uint32_t group;  // index into m_arrPostingStarts
        std::uint64_t size;
    };

    void prepare();
    // false: keepAll found more pairs than may be kept.
    bool sweep(Mode mode, const StopQuestion& stop, const VisitReport& visited);
    bool visit(std::uint32_t index, Mode mode);
    bool keepFirstSeen(Mode mode, std::uint64_t halfSize);
    void addReversedPairsOfUnvisitedRecords();
    std::vector<std::shared_ptr<DuplicateItem>> itemsInGroups(std::uint32_t index,
                                                              const std::vector<std::uint32_t>& groups) const;

    std::vector<std::shared_ptr<HeapsFolderData>> m_arrRecords;
    std::uint64_t m_nMaximalPairCount;
    std::vector<HeapsFolderTraits> m_arrTraits;
    // Group -> the records holding copies of it (CSR), record -> its groups (CSR).
    std::vector<std::uint64_t> m_arrGroupIDs;
    std::vector<std::size_t> m_arrPostingStarts;
    std::vector<Posting> m_arrPostings;
    std::vector<std::size_t> m_arrMembershipStarts;
    std::vector<Membership> m_arrMemberships;
    std::vector<Row> m_arrRows;

    // Per-visit scratch, indexed by record.
    std::vector<std::uint32_t> m_arrSharedCounts;
    std::vector<std::uint64_t> m_arrSharedSizes;
    std::vector<char> m_arrIsPartner;
    std::vector<std::uint32_t> m_arrTouched;

    std::size_t m_nVisitLimit = 0;  // records beyond a stop are never visited
    std::size_t m_nAsked = 0;
    std::size_t m_nReported = 0;
    std::uint64_t m_nFoundPairs = 0;
    std::uint64_t m_nKeptPairs = 0;
    std::uint64_t m_nStoredPairs = 0;  // both kinds
    // keepBiggest: pairs bigger than the threshold are kept, and as many of
    // those of exactly its size as the tie budget allows.
    std::uint64_t m_nThreshold = 0;
    std::uint64_t m_nTieBudget = 0;
    std::vector<std::uint64_t> m_arrBiggestSizes;  // measure: a min-heap of the biggest half sizes
};

}  // namespace kestrane
