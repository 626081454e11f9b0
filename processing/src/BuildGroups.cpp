#include "ByKey.h"
#include "RawTable.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"
#include "platform/Guarantee.h"
#include "platform/Prefetch.h"
#include "platform/SideBySide.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
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

// The groups in the order they were found, key by key, written on from
// `found`, where there is room for a group per record.
struct Groups {
    Group* found;
    std::size_t count = 0;

    void Open(const RecordValues&) { found[count++] = {{}, 0, 0}; }
    void Add(const RecordValues& member) {
        Group& group = found[count - 1];
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

// Grouping splits its work in two, by position and by key, and from this
// many records the two parts run on two cores: below it, starting the
// second thread costs more than it saves.
constexpr std::int32_t TwoThreadsFrom = 1 << 17;

// Runs both parts, side by side where that pays.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
    if (RecordCount >= TwoThreadsFrom) {
        platform::RunSideBySide(first, second);
    } else {
        first();
        second();
    }
}

// The groups of the keys from slot begin up to end, found in slot order
// and written from `found` on: keys share no record, so ranges of them can
// be grouped at once. Returns how many there are.
std::size_t GroupKeys(const detail::RecordsByKey& free, std::size_t begin, std::size_t end,
                      Group* found) {
    Groups groups{found};
    PairQueues work;
    for (std::size_t k = begin; k < end; ++k) {
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
    return groups.count;
}

// The groups of the lower keys, then those of the upper keys, in one block
// with room for a group per record: the upper keys' groups start where
// their records do, so the two halves never meet. One block, like one
// array, leaves the memory it is cut from whole for the lists that follow.
// Group g is the g-th of the two in this order.
struct GroupHalves {
    std::unique_ptr<Group[]> block;
    std::size_t upperStart = 0;
    std::array<std::size_t, 2> counts{};

    std::span<const Group> Lower() const { return {block.get(), counts[0]}; }
    std::span<const Group> Upper() const { return {block.get() + upperStart, counts[1]}; }
    std::size_t Count() const { return counts[0] + counts[1]; }
    const Group& operator[](std::size_t g) const {
        return g < counts[0] ? block[g] : block[upperStart + g - counts[0]];
    }
};

GroupHalves GroupAll(const std::int32_t* cells) {
    const detail::RecordsByKey free = detail::GroupByKey(
        cells, detail::KeySlots(cells), [cells](std::int32_t p) { return IsFree(cells, p); },
        RunBoth);
    // The first slot that ends past half of the records: the halves of the
    // keys then hold about as many records each.
    const auto half = static_cast<std::int32_t>(free.records.size() / 2);
    const auto middle = static_cast<std::size_t>(
        std::upper_bound(free.ends.begin(), free.ends.end(), half) - free.ends.begin());
    // Room for the most there can be: pages never written cost no memory.
    GroupHalves groups{std::make_unique_for_overwrite<Group[]>(free.records.size()),
                       free.Start(middle)};
    Group* const block = groups.block.get();
    RunBoth([&] { groups.counts[0] = GroupKeys(free, 0, middle, block); },
            [&] {
                groups.counts[1] =
                    GroupKeys(free, middle, free.SlotCount(), block + groups.upperStart);
            });
    return groups;
}

// A seed's Status until the groups are listed: its group's index plus one,
// above every status a record can have.
std::int32_t SeedMark(std::size_t g) {
    return static_cast<std::int32_t>(g) + 1;
}

// Marks the seeds of `found`, the groups from `first` on, with their groups,
// asking for the seed rows, which lie anywhere in the table, some groups
// ahead. Returns how many of the seeds lie before position `middle`.
std::size_t MarkSeeds(std::int32_t* cells, std::span<const Group> found, std::size_t first,
                      std::int32_t middle) {
    constexpr auto Ahead = static_cast<std::size_t>(platform::PrefetchAhead);
    std::size_t before = 0;
    for (std::size_t g = 0; g < found.size(); ++g) {
        if (g + Ahead < found.size()) {
            platform::PrefetchForWrite(cells + Index(found[g + Ahead].members[0], Status));
        }
        const std::int32_t seed = found[g].members[0];
        cells[Index(seed, Status)] = SeedMark(first + g);
        before += seed < middle ? 1 : 0;
    }
    return before;
}

// The groups whose seeds lie from `begin` to `end`, listed by seed into
// lists and PendingFacts from index `first` on, and every free row there
// marked grouped, in one pass in position order: the seeds' marks give the
// groups in seed order.
void ListBySeed(std::int32_t* cells, const GroupHalves& groups, std::int32_t begin,
                std::int32_t end, std::vector<PositionList>& lists, std::size_t first) {
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    std::size_t next = first;
    for (std::int32_t p = begin; p < end; ++p) {
        if (p + Ahead < end && cells[Index(p + Ahead, Status)] > 0) {
            platform::Prefetch(
                &groups[static_cast<std::size_t>(cells[Index(p + Ahead, Status)] - 1)]);
        }
        std::int32_t& status = cells[Index(p, Status)];
        if (status > 0) {
            const Group& group = groups[static_cast<std::size_t>(status - 1)];
            PositionList& list = lists[next];
            for (std::int32_t m = 0; m < group.size; ++m) {
                list.Add(group.members[static_cast<std::size_t>(m)]);
            }
            PendingFacts[next] = {group.size, cells[Index(p, Value1)], group.value2Set};
            ++next;
        }
        if (status >= StatusFree) {
            status = StatusGrouped;
        }
    }
}

// Lists the groups by seed: the lists are made while the seeds are marked,
// then the two halves of the table are listed side by side, each into its
// own share of the lists.
void ListAll(std::int32_t* cells, const GroupHalves& groups) {
    const std::int32_t middle = RecordCount / 2;
    std::vector<PositionList> lists;
    std::size_t lower = 0;
    RunBoth(
        [&] {
            lists.resize(groups.Count());
            PendingFacts.resize(groups.Count());
        },
        [&] {
            lower = MarkSeeds(cells, groups.Lower(), 0, middle) +
                    MarkSeeds(cells, groups.Upper(), groups.Lower().size(), middle);
        });
    RunBoth([&] { ListBySeed(cells, groups, 0, middle, lists, 0); },
            [&] { ListBySeed(cells, groups, middle, RecordCount, lists, lower); });
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
    ListAll(cells, GroupAll(cells));
}

} // namespace modQuorvale
