#include "ByKey.h"
#include "RawTable.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"
#include "platform/Guarantee.h"
#include "platform/Prefetch.h"

#include <algorithm>
#include <array>
#include <functional>
#include <span>
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
using detail::RecordValues;

bool SamePair(const RecordValues& a, const RecordValues& b) {
    return a.value1 == b.value1 && a.value2 == b.value2;
}

// A group as grouping finds it: its members, the seed first, and the set of
// their Value2; the seed's row gives its Value1 when the group is listed.
struct Group {
    std::array<std::int32_t, ListSize> members;
    std::int8_t size;
    std::int8_t value2Set; // the Value2Bit of each member's Value2
};

// The groups in the order they were found, key by key.
struct Groups {
    std::vector<Group> found;

    void Open(const RecordValues&) { found.push_back({{}, 0, 0}); }
    void Add(const RecordValues& member) {
        Group& group = found.back();
        group.members[static_cast<std::size_t>(group.size)] = member.position;
        group.value2Set = static_cast<std::int8_t>(group.value2Set | Value2Bit(member.value2));
        ++group.size;
    }
};

// A key of few records, as the scan does it: most keys hold a handful.
constexpr std::size_t FewRecords = 32;
static_assert(FewRecords <= 32, "GroupFewRecords keeps a bit per record in 32 bits");

void GroupFewRecords(std::span<const RecordValues> records, Groups& groups) {
    std::uint32_t taken = 0;
    for (std::size_t s = 0; s < records.size(); ++s) {
        if ((taken >> s & 1) != 0) {
            continue;
        }
        groups.Open(records[s]);
        std::size_t chosen[ListSize];
        std::size_t size = 0;
        for (std::size_t k = s; k < records.size() && size < ListSize; ++k) {
            const bool pairTaken = std::any_of(chosen, chosen + size, [&](std::size_t c) {
                return SamePair(records[c], records[k]);
            });
            if ((taken >> k & 1) == 0 && !pairTaken) {
                chosen[size++] = k;
                taken |= std::uint32_t{1} << k;
                groups.Add(records[k]);
            }
        }
    }
}

// Queues of one pair's free records, as slices of the records ordered by
// pair, and a heap of their heads; kept between keys to save allocations.
struct PairQueues {
    struct Queue {
        std::size_t next;
        std::size_t end;
    };
    using Head = std::pair<std::int32_t, std::size_t>; // position, queue
    std::vector<RecordValues> byPair;
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

// A key of many records, in O(m log m) whatever their pairs.
void GroupManyRecords(std::span<const RecordValues> records, Groups& groups, PairQueues& work) {
    work.byPair.assign(records.begin(), records.end());
    std::stable_sort(work.byPair.begin(), work.byPair.end(),
                     [](const RecordValues& a, const RecordValues& b) {
                         return a.value1 != b.value1 ? a.value1 < b.value1 : a.value2 < b.value2;
                     });
    const std::vector<RecordValues>& ordered = work.byPair;
    work.queues.clear();
    work.heads.clear();
    for (std::size_t k = 0; k < ordered.size();) {
        std::size_t pairEnd = k + 1;
        while (pairEnd < ordered.size() && SamePair(ordered[pairEnd], ordered[k])) {
            ++pairEnd;
        }
        work.Push({ordered[k].position, work.queues.size()});
        work.queues.push_back({k, pairEnd});
        k = pairEnd;
    }
    while (!work.heads.empty()) {
        work.taken.clear();
        // The heads come out by position: the first is the seed.
        groups.Open(ordered[work.queues[work.heads.front().second].next]);
        while (!work.heads.empty() && work.taken.size() < static_cast<std::size_t>(ListSize)) {
            const PairQueues::Head head = work.Pop();
            groups.Add(ordered[work.queues[head.second].next]);
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

// What validation guarantees of a key's free records.
[[maybe_unused]] void ExpectValidated(std::span<const RecordValues> key) {
    for (const RecordValues& r : key) {
        platform::Expect(ValuesInRange(r.value1, r.value2) && r.value1 == key.front().value1,
                         "the free records of a key are in range and share one Value1");
    }
}

bool IsFree(const std::int32_t* cells, std::int32_t p) {
    return cells[Index(p, Status)] == StatusFree;
}

Groups GroupAll(const std::int32_t* cells) {
    const detail::RecordsByKey free = detail::GroupByKey(
        cells, detail::KeySlots(cells), [cells](std::int32_t p) { return IsFree(cells, p); });
    Groups groups;
    // Room for the most there can be: pages never written cost no memory,
    // while regrowing would hold the old and the new array at once.
    groups.found.reserve(free.records.size());
    PairQueues work;
    for (std::size_t k = 0; k < free.SlotCount(); ++k) {
        const auto key = free.Key(k);
        if constexpr (platform::CheckGuarantees) {
            ExpectValidated(key);
        }
        if (key.size() <= FewRecords) {
            GroupFewRecords(key, groups);
        } else {
            GroupManyRecords(key, groups, work);
        }
    }
    return groups;
}

// A seed's Status until the groups are listed: its group's index plus one,
// above every status a record can have.
std::int32_t SeedMark(std::size_t g) {
    return static_cast<std::int32_t>(g) + 1;
}

// Marks each group's seed with its group, asking for the seed rows, which
// lie anywhere in the table, some groups ahead.
void MarkSeeds(std::int32_t* cells, const Groups& groups) {
    constexpr auto Ahead = static_cast<std::size_t>(platform::PrefetchAhead);
    const std::vector<Group>& found = groups.found;
    for (std::size_t g = 0; g < found.size(); ++g) {
        if (g + Ahead < found.size()) {
            platform::PrefetchForWrite(cells + Index(found[g + Ahead].members[0], Status));
        }
        cells[Index(found[g].members[0], Status)] = SeedMark(g);
    }
}

// The groups listed by seed, and every free row marked grouped, in one pass
// in position order: the seeds' marks give the groups in seed order.
void ListBySeed(std::int32_t* cells, const Groups& groups) {
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    const std::vector<Group>& found = groups.found;
    std::vector<PositionList> lists;
    lists.reserve(found.size());
    PendingFacts.reserve(found.size());
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (p + Ahead < RecordCount && cells[Index(p + Ahead, Status)] > 0) {
            platform::Prefetch(
                &found[static_cast<std::size_t>(cells[Index(p + Ahead, Status)] - 1)]);
        }
        std::int32_t& status = cells[Index(p, Status)];
        if (status > 0) {
            const Group& group = found[static_cast<std::size_t>(status - 1)];
            PositionList& list = lists.emplace_back();
            for (std::int32_t m = 0; m < group.size; ++m) {
                list.Add(group.members[static_cast<std::size_t>(m)]);
            }
            PendingFacts.push_back({group.size, cells[Index(p, Value1)], group.value2Set});
        }
        if (status >= StatusFree) {
            status = StatusGrouped;
        }
    }
    PendingGroups.emplace(std::move(lists));
}

} // namespace

void BuildGroups() {
    const platform::Building building("grouping " + std::to_string(RecordCount) + " records");
    PendingGroups.emplace();
    PendingFacts = {};
    if (RecordCount <= 0) {
        return;
    }
    std::int32_t* cells = detail::TableCells();
    const Groups groups = GroupAll(cells);
    MarkSeeds(cells, groups);
    ListBySeed(cells, groups);
}

} // namespace modQuorvale
