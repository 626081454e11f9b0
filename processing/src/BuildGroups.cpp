#include "GroupFacts.h"
#include "RawTable.h"
#include "StableOrder.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"

#include <algorithm>
#include <functional>
#include <vector>

// Gives the same groups as growing each group by a scan from its seed, in
// O(n log n). Groups of different keys never meet, and the seed is always
// the lowest free row, so each key can be grouped on its own and the groups
// listed by seed afterwards. Within a key the seed is the earliest free
// record, and the scan takes the earliest free record of each other
// (Value1, Value2) pair until the group is full: so a group is the up to
// five smallest heads of the per-pair queues of free records.

namespace modQuorvale {

namespace {

using detail::Index;
using detail::OrderKey;
using detail::StableSortBy;

struct FreeRecord {
    std::int32_t key;
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t position;
};

// By Value1, then Value2. After validation both span a short range, and one
// pass over a combined key does; otherwise one pass each.
void SortByPair(std::vector<FreeRecord>& records) {
    if (records.empty()) {
        return;
    }
    std::int32_t low1 = records.front().value1;
    std::int32_t high1 = low1;
    std::int32_t low2 = records.front().value2;
    std::int32_t high2 = low2;
    for (const FreeRecord& r : records) {
        low1 = std::min(low1, r.value1);
        high1 = std::max(high1, r.value1);
        low2 = std::min(low2, r.value2);
        high2 = std::max(high2, r.value2);
    }
    const std::uint64_t span1 = static_cast<std::uint64_t>(std::int64_t{high1} - low1) + 1;
    const std::uint64_t span2 = static_cast<std::uint64_t>(std::int64_t{high2} - low2) + 1;
    // Each span can reach 2^32, so their product can wrap: divide instead.
    if (span1 <= std::uint64_t{UINT32_MAX} / span2) {
        StableSortBy(records, [=](const FreeRecord& r) {
            return static_cast<std::uint32_t>(
                static_cast<std::uint64_t>(std::int64_t{r.value1} - low1) * span2 +
                static_cast<std::uint64_t>(std::int64_t{r.value2} - low2));
        });
        return;
    }
    StableSortBy(records, [](const FreeRecord& r) { return OrderKey(r.value2); });
    StableSortBy(records, [](const FreeRecord& r) { return OrderKey(r.value1); });
}

// The free records ordered by GroupKey, Value1, Value2, then position.
std::vector<FreeRecord> FreeByKeyAndPair(const std::int32_t* cells) {
    std::size_t free = 0;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        free += cells[Index(p, Status)] == StatusFree ? 1 : 0;
    }
    std::vector<FreeRecord> records;
    records.reserve(free);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (cells[Index(p, Status)] == StatusFree) {
            records.push_back(
                {cells[Index(p, GroupKey)], cells[Index(p, Value1)], cells[Index(p, Value2)], p});
        }
    }
    SortByPair(records);
    StableSortBy(records, [](const FreeRecord& r) { return OrderKey(r.key); });
    return records;
}

bool SamePair(const FreeRecord& a, const FreeRecord& b) {
    return a.value1 == b.value1 && a.value2 == b.value2;
}

// The groups in the order they were found (key by key), each with room for
// a whole output list: pairing appends the partner in place.
struct Groups {
    std::vector<PositionList> lists;
    std::vector<detail::GroupFacts> facts;
};

// Queues of one pair's free records, as slices of the ordered records, and
// a heap of their heads; kept between keys to save allocations.
struct PairQueues {
    struct Queue {
        std::size_t next;
        std::size_t end;
    };
    using Head = std::pair<std::int32_t, std::size_t>; // position, queue
    std::vector<Queue> queues;
    std::vector<Head> heads; // a min-heap by position
    std::vector<std::size_t> taken;

    void Push(Head head) {
        heads.push_back(head);
        std::push_heap(heads.begin(), heads.end(), std::greater<>());
    }
    Head Pop() {
        std::pop_heap(heads.begin(), heads.end(), std::greater<>());
        const Head head = heads.back();
        heads.pop_back();
        return head;
    }
};

// One key's records, ordered by pair and then position, from `begin` to `end`.
void GroupKeyRecords(const std::vector<FreeRecord>& ordered, std::size_t begin, std::size_t end,
                     Groups& groups, PairQueues& work) {
    work.queues.clear();
    work.heads.clear();
    for (std::size_t k = begin; k < end;) {
        std::size_t pairEnd = k + 1;
        while (pairEnd < end && SamePair(ordered[pairEnd], ordered[k])) {
            ++pairEnd;
        }
        work.Push({ordered[k].position, work.queues.size()});
        work.queues.push_back({k, pairEnd});
        k = pairEnd;
    }
    while (!work.heads.empty()) {
        work.taken.clear();
        // The heads come out by position: the first is the seed.
        const FreeRecord& seed = ordered[work.queues[work.heads.front().second].next];
        detail::GroupFacts facts{seed.position, 0, seed.value1, 0};
        PositionList& group = groups.lists.emplace_back();
        group.Reserve(static_cast<std::size_t>(ListSize));
        while (!work.heads.empty() && work.taken.size() < static_cast<std::size_t>(ListSize)) {
            const PairQueues::Head head = work.Pop();
            group.Add(head.first);
            work.taken.push_back(head.second);
            const std::int32_t bit =
                detail::Value2Bit(ordered[work.queues[head.second].next].value2);
            facts.value2Set = bit == detail::OutsideSet || facts.value2Set == detail::OutsideSet
                                  ? detail::OutsideSet
                                  : facts.value2Set | bit;
            ++facts.size;
        }
        groups.facts.push_back(facts);
        // Only now, so that no pair gives two members to one group.
        for (const std::size_t q : work.taken) {
            if (++work.queues[q].next < work.queues[q].end) {
                work.Push({ordered[work.queues[q].next].position, q});
            }
        }
    }
}

Groups GroupAll(const std::int32_t* cells) {
    const std::vector<FreeRecord> ordered = FreeByKeyAndPair(cells);
    Groups groups;
    // Room for the most groups there can be: pages never written cost no
    // memory, while regrowing would hold the old and the new array at once.
    groups.lists.reserve(ordered.size());
    groups.facts.reserve(ordered.size());
    PairQueues work;
    for (std::size_t begin = 0; begin < ordered.size();) {
        std::size_t end = begin + 1;
        while (end < ordered.size() && ordered[end].key == ordered[begin].key) {
            ++end;
        }
        GroupKeyRecords(ordered, begin, end, groups, work);
        begin = end;
    }
    return groups;
}

// Makes group i the one that was group order[i], following each cycle of
// the permutation; order ends as the identity.
void PutInOrder(Groups& groups, std::vector<std::uint32_t>& order) {
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] == i) {
            continue;
        }
        PositionList list = std::move(groups.lists[i]);
        const detail::GroupFacts facts = groups.facts[i];
        std::size_t j = i;
        for (std::size_t k = order[j]; k != i; k = order[j]) {
            groups.lists[j] = std::move(groups.lists[k]);
            groups.facts[j] = groups.facts[k];
            order[j] = static_cast<std::uint32_t>(j);
            j = k;
        }
        groups.lists[j] = std::move(list);
        groups.facts[j] = facts;
        order[j] = static_cast<std::uint32_t>(j);
    }
}

void MarkFreeRowsGrouped(std::int32_t* cells) {
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (cells[Index(p, Status)] == StatusFree) {
            cells[Index(p, Status)] = StatusGrouped;
        }
    }
}

} // namespace

void BuildGroups() {
    const platform::Building building("grouping " + std::to_string(RecordCount) + " records");
    PendingGroups.emplace();
    detail::PendingFacts.clear();
    if (RecordCount <= 0) {
        return;
    }
    std::int32_t* cells = detail::TableCells();
    Groups groups = GroupAll(cells);
    MarkFreeRowsGrouped(cells);

    // Listed by seed, in place: only the order is made anew.
    std::vector<std::uint32_t> bySeed(groups.facts.size());
    for (std::size_t g = 0; g < bySeed.size(); ++g) {
        bySeed[g] = static_cast<std::uint32_t>(g);
    }
    StableSortBy(bySeed, [&](std::uint32_t g) {
        return static_cast<std::uint32_t>(groups.facts[g].firstMember);
    });
    PutInOrder(groups, bySeed);
    PendingGroups.emplace(std::move(groups.lists));
    detail::PendingFacts = std::move(groups.facts);
}

} // namespace modQuorvale
