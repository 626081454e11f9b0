#include "RawTable.h"
#include "StableOrder.h"
#include "modQuorvale.h"
#include "platform/Concurrent.h"
#include "platform/FatalError.h"

#include <algorithm>
#include <array>
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

// Keys fall into two halves, grouped side by side on a large table. A hash
// keeps the halves even when keys are all odd, say.
using Half = std::uint32_t;
Half HalfOf(std::int32_t key) {
    return (static_cast<std::uint32_t>(key) * 0x9E3779B1u) >> 31;
}

// The free records of one half ordered by GroupKey, Value1, Value2, then
// position.
std::vector<FreeRecord> FreeByKeyAndPair(const std::int32_t* cells, Half half) {
    std::vector<FreeRecord> records;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (cells[Index(p, Status)] == StatusFree && HalfOf(cells[Index(p, GroupKey)]) == half) {
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

// The groups of one half found so far, members in one flat array.
struct Groups {
    std::vector<std::int32_t> members;
    std::vector<std::int32_t> firstMember;
};

// For each seed position the group it opened, as group * 2 + half. Both
// halves write here, at the positions of their own seeds.
using SeedTable = std::vector<std::uint32_t>;
constexpr std::uint32_t NoGroup = UINT32_MAX;

// Queues of one pair's free records, as slices of the ordered positions,
// and a heap of their heads; kept between keys to save allocations.
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
                     Half half, Groups& groups, SeedTable& groupAtSeed, PairQueues& work) {
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
        const auto group = static_cast<std::uint32_t>(groups.firstMember.size());
        groups.firstMember.push_back(static_cast<std::int32_t>(groups.members.size()));
        groupAtSeed[static_cast<std::size_t>(work.heads.front().first)] = group * 2 + half;
        while (!work.heads.empty() && work.taken.size() < static_cast<std::size_t>(ListSize)) {
            const PairQueues::Head head = work.Pop();
            groups.members.push_back(head.first);
            work.taken.push_back(head.second);
        }
        // Only now, so that no pair gives two members to one group.
        for (const std::size_t q : work.taken) {
            if (++work.queues[q].next < work.queues[q].end) {
                work.Push({ordered[work.queues[q].next].position, q});
            }
        }
    }
}

void GroupHalf(const std::int32_t* cells, Half half, Groups& groups, SeedTable& groupAtSeed) {
    const std::vector<FreeRecord> ordered = FreeByKeyAndPair(cells, half);
    PairQueues work;
    groups.members.reserve(ordered.size());
    groups.firstMember.reserve(ordered.size() + 1);
    for (std::size_t begin = 0; begin < ordered.size();) {
        std::size_t end = begin + 1;
        while (end < ordered.size() && ordered[end].key == ordered[begin].key) {
            ++end;
        }
        GroupKeyRecords(ordered, begin, end, half, groups, groupAtSeed, work);
        begin = end;
    }
    groups.firstMember.push_back(static_cast<std::int32_t>(groups.members.size()));
}

// The groups whose seeds lie in [begin, end), in seed order, each with room
// for a whole output list: pairing appends the partner in place. Marks the
// free rows of that range grouped.
std::vector<PositionList> ListGroupsOfSeeds(std::int32_t* cells, std::int32_t begin,
                                            std::int32_t end, const SeedTable& groupAtSeed,
                                            const std::array<Groups, 2>& halves) {
    std::vector<PositionList> lists;
    for (std::int32_t seed = begin; seed < end; ++seed) {
        const std::uint32_t seedGroup = groupAtSeed[static_cast<std::size_t>(seed)];
        if (seedGroup == NoGroup) {
            continue;
        }
        const Groups& groups = halves[seedGroup & 1];
        const std::size_t g = seedGroup >> 1;
        PositionList& group = lists.emplace_back();
        group.Reserve(static_cast<std::size_t>(ListSize));
        for (std::int32_t m = groups.firstMember[g]; m < groups.firstMember[g + 1]; ++m) {
            group.Add(groups.members[static_cast<std::size_t>(m)]);
        }
    }
    for (std::int32_t p = begin; p < end; ++p) {
        if (cells[Index(p, Status)] == StatusFree) {
            cells[Index(p, Status)] = StatusGrouped;
        }
    }
    return lists;
}

} // namespace

void BuildGroups() {
    const platform::Building building("grouping " + std::to_string(RecordCount) + " records");
    PendingGroups.emplace();
    if (RecordCount <= 0) {
        return;
    }
    const bool parallel = RecordCount >= detail::ParallelRecords;
    std::int32_t* cells = detail::TableCells();
    SeedTable groupAtSeed(static_cast<std::size_t>(RecordCount), NoGroup);
    std::array<Groups, 2> halves;
    platform::RunAlongside(
        parallel, [&] { GroupHalf(cells, 0, halves[0], groupAtSeed); },
        [&] { GroupHalf(cells, 1, halves[1], groupAtSeed); });

    // The lists and statuses of the earlier and the later positions, side by
    // side; each half writes only its own rows.
    const std::int32_t middle = RecordCount / 2;
    std::vector<PositionList> earlier;
    std::vector<PositionList> later;
    platform::RunAlongside(
        parallel, [&] { earlier = ListGroupsOfSeeds(cells, 0, middle, groupAtSeed, halves); },
        [&] { later = ListGroupsOfSeeds(cells, middle, RecordCount, groupAtSeed, halves); });
    PendingGroups->Reserve(earlier.size() + later.size());
    for (std::vector<PositionList>* part : {&earlier, &later}) {
        for (PositionList& group : *part) {
            PendingGroups->Add(std::move(group));
        }
    }
}

} // namespace modQuorvale
