#include "GroupFacts.h"
#include "RawTable.h"
#include "StableOrder.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"

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
using detail::OrderKey;
using detail::StableSortBy;

struct FreeRecord {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t position;
};

// The free records, those of each key together and in position order, and
// where each key's records end.
struct FreeByKey {
    std::vector<FreeRecord> records;
    std::vector<std::int32_t> ends;
};

FreeRecord FreeRecordAt(const std::int32_t* cells, std::int32_t p) {
    return {cells[Index(p, Value1)], cells[Index(p, Value2)], p};
}

// For keys of a span no wider than the table: one count and one placing
// pass by key, nothing ordered.
FreeByKey FreeByKeyTable(const std::int32_t* cells, detail::ColumnSpan keys) {
    const auto span = static_cast<std::size_t>(keys.span);
    std::vector<std::int32_t> start(span + 1, 0);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (cells[Index(p, Status)] == StatusFree) {
            ++start[keys.SlotAt(cells, p) + 1];
        }
    }
    FreeByKey free;
    for (std::size_t k = 1; k <= span; ++k) {
        if (start[k] != 0) {
            free.ends.push_back(start[k - 1] + start[k]);
        }
        start[k] += start[k - 1];
    }
    free.records.resize(static_cast<std::size_t>(start[span]));
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (cells[Index(p, Status)] == StatusFree) {
            free.records[static_cast<std::size_t>(start[keys.SlotAt(cells, p)]++)] =
                FreeRecordAt(cells, p);
        }
    }
    return free;
}

// Any keys: the free positions in stable order of their keys.
FreeByKey FreeBySortedKeys(const std::int32_t* cells) {
    std::vector<std::int32_t> positions;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (cells[Index(p, Status)] == StatusFree) {
            positions.push_back(p);
        }
    }
    auto keyOf = [&](std::int32_t p) { return cells[Index(p, GroupKey)]; };
    StableSortBy(positions, [&](std::int32_t p) { return OrderKey(keyOf(p)); });
    FreeByKey free;
    free.records.reserve(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i > 0 && keyOf(positions[i]) != keyOf(positions[i - 1])) {
            free.ends.push_back(static_cast<std::int32_t>(i));
        }
        free.records.push_back(FreeRecordAt(cells, positions[i]));
    }
    if (!positions.empty()) {
        free.ends.push_back(static_cast<std::int32_t>(positions.size()));
    }
    return free;
}

FreeByKey FreeRecordsByKey(const std::int32_t* cells) {
    const detail::ColumnSpan keys = detail::SpanOf(cells, GroupKey);
    return keys.FitsTable() ? FreeByKeyTable(cells, keys) : FreeBySortedKeys(cells);
}

bool SamePair(const FreeRecord& a, const FreeRecord& b) {
    return a.value1 == b.value1 && a.value2 == b.value2;
}

// A group with what pairing needs to know of it, small enough to be moved
// whole when the groups are put in order.
struct Group {
    detail::GroupFacts facts;
    std::array<std::int32_t, ListSize> members;
};

// The groups in the order they were found, key by key.
struct Groups {
    std::vector<Group> found;

    void Open(const FreeRecord& seed) { found.push_back({{seed.position, 0, seed.value1, 0}, {}}); }
    void Add(const FreeRecord& member) {
        Group& group = found.back();
        detail::GroupFacts& f = group.facts;
        group.members[static_cast<std::size_t>(f.size)] = member.position;
        const std::int32_t bit = detail::Value2Bit(member.value2);
        f.value2Set = bit == detail::OutsideSet || f.value2Set == detail::OutsideSet
                          ? detail::OutsideSet
                          : f.value2Set | bit;
        ++f.size;
    }
};

// A key of few records, as the scan does it: most keys hold a handful.
constexpr std::size_t FewRecords = 32;
static_assert(FewRecords <= 32, "GroupFewRecords keeps a bit per record in 32 bits");

void GroupFewRecords(std::span<const FreeRecord> records, Groups& groups) {
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
    std::vector<FreeRecord> byPair;
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
void GroupManyRecords(std::span<const FreeRecord> records, Groups& groups, PairQueues& work) {
    work.byPair.assign(records.begin(), records.end());
    std::stable_sort(work.byPair.begin(), work.byPair.end(),
                     [](const FreeRecord& a, const FreeRecord& b) {
                         return a.value1 != b.value1 ? a.value1 < b.value1 : a.value2 < b.value2;
                     });
    const std::vector<FreeRecord>& ordered = work.byPair;
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

Groups GroupAll(const std::int32_t* cells) {
    const FreeByKey free = FreeRecordsByKey(cells);
    Groups groups;
    // Room for the most there can be: pages never written cost no memory,
    // while regrowing would hold the old and the new array at once.
    groups.found.reserve(free.records.size());
    const std::span<const FreeRecord> all(free.records);
    PairQueues work;
    std::size_t begin = 0;
    for (const std::int32_t end : free.ends) {
        const auto key = all.subspan(begin, static_cast<std::size_t>(end) - begin);
        if (key.size() <= FewRecords) {
            GroupFewRecords(key, groups);
        } else {
            GroupManyRecords(key, groups, work);
        }
        begin = static_cast<std::size_t>(end);
    }
    return groups;
}

void MarkFreeRowsGrouped(std::int32_t* cells) {
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (cells[Index(p, Status)] == StatusFree) {
            cells[Index(p, Status)] = StatusGrouped;
        }
    }
}

// The groups listed by seed. Put in order whole, they are then read and
// written in order: no scattered access.
void ListBySeed(Groups& groups) {
    StableSortBy(groups.found,
                 [](const Group& g) { return static_cast<std::uint32_t>(g.facts.firstMember); });
    std::vector<PositionList> lists(groups.found.size());
    detail::PendingFacts.reserve(groups.found.size());
    for (std::size_t g = 0; g < groups.found.size(); ++g) {
        const Group& group = groups.found[g];
        for (std::int32_t m = 0; m < group.facts.size; ++m) {
            lists[g].Add(group.members[static_cast<std::size_t>(m)]);
        }
        detail::PendingFacts.push_back(group.facts);
    }
    PendingGroups.emplace(std::move(lists));
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
    ListBySeed(groups);
}

} // namespace modQuorvale
