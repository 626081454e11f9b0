#include "ByKey.h"
#include "RawTable.h"
#include "Reasons.h"
#include "StableOrder.h"
#include "modQuorvale.h"
#include "platform/FatalError.h"
#include "platform/Guarantee.h"
#include "platform/Prefetch.h"

#include <algorithm>
#include <bit>
#include <span>
#include <utility>
#include <vector>

// Gives the same table, statuses and RejectedList as the plain procedure
// (scan later rows for a conflict, exchange sort by Value2), in O(n log n).

namespace modQuorvale {

namespace {

using detail::FenwickTree;
using detail::Index;
using detail::RecordValues;
using detail::StableSortBy;

bool InRange(const std::int32_t* cells, std::int32_t p) {
    return ValuesInRange(cells[Index(p, Value1)], cells[Index(p, Value2)]);
}

void Reject(std::int32_t* cells, std::int32_t position) {
    cells[Index(position, Status)] = StatusRejected;
    RejectedList->Add(position);
}

void RejectForRange(std::int32_t* cells, std::int32_t position) {
    Reject(cells, position);
    if (KeepReasons) {
        detail::RecordRangeRejection(cells[Index(position, Value1)],
                                     cells[Index(position, Value2)]);
    }
}

// What the pass in position order knows of a key, in a byte, so that the
// table of all keys stays in the processor's cache: no in-range record yet,
// the first one's Value1, or that a later record has another Value1.
constexpr std::uint8_t NoneInRange = 0;
constexpr std::uint8_t Conflicting = 0xFF;
static_assert(Value1Min > NoneInRange && Value1Max < Conflicting);

std::vector<std::uint8_t> KeyStates(const std::int32_t* cells, detail::KeySlots slots) {
    std::vector<std::uint8_t> state(slots.Count(), NoneInRange);
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    const std::int32_t aheadEnd = RecordCount - Ahead;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (p < aheadEnd) {
            platform::PrefetchForWrite(&state[slots(p + Ahead)]);
        }
        std::uint8_t& key = state[slots(p)];
        const std::int32_t value1 = cells[Index(p, Value1)];
        if (key == NoneInRange) {
            if (InRange(cells, p)) {
                key = static_cast<std::uint8_t>(value1);
            }
        } else if (key != Conflicting && value1 != key) {
            key = Conflicting;
        }
    }
    return state;
}

// A record of a conflicting key with the key's slot.
struct KeyedRecord {
    std::uint32_t slot;
    RecordValues values;
};
using KeyRecords = std::span<const KeyedRecord>;

// The records of the conflicting keys, a small share of all, those of each
// key together in position order: taken in one pass and then ordered among
// themselves, so that no pass touches a count for every key.
std::vector<KeyedRecord> ConflictingRecords(const std::int32_t* cells, detail::KeySlots slots,
                                            const std::vector<std::uint8_t>& state) {
    std::vector<KeyedRecord> records;
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    const std::int32_t aheadEnd = RecordCount - Ahead;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (p < aheadEnd) {
            platform::Prefetch(&state[slots(p + Ahead)]);
        }
        const std::size_t slot = slots(p);
        if (state[slot] == Conflicting) {
            records.push_back({static_cast<std::uint32_t>(slot),
                               {cells[Index(p, Value1)], cells[Index(p, Value2)], p}});
        }
    }
    StableSortBy(records, [](const KeyedRecord& r) { return r.slot; });
    return records;
}

// The conflict that the scan from a key's first in-range record finds: the
// next record of the key with another Value1. All records of the key after
// the first are still free then.
detail::KeyConflict ConflictOf(const std::int32_t* cells, KeyRecords fromFirst) {
    const RecordValues& f = fromFirst.front().values;
    const RecordValues& other =
        std::find_if(fromFirst.begin() + 1, fromFirst.end(), [&](const KeyedRecord& r) {
            return r.values.value1 != f.value1;
        })->values;
    return {cells[Index(f.position, GroupKey)], f.position, f.value1, other.position, other.value1};
}

// Records that a key took down ahead of the pass in position order, a bit
// per position: the pass marks their rows when it gets there, in order,
// rather than at scattered rows when the key goes down.
class LaterRejections {
public:
    LaterRejections() : bits_((static_cast<std::size_t>(RecordCount) + 63) / 64, 0) {}
    void Add(std::int32_t p) { bits_[Word(p)] |= Bit(p); }
    bool Has(std::int32_t p) const { return (bits_[Word(p)] & Bit(p)) != 0; }

private:
    static std::size_t Word(std::int32_t p) { return static_cast<std::size_t>(p) / 64; }
    static std::uint64_t Bit(std::int32_t p) { return std::uint64_t{1} << (p % 64); }
    std::vector<std::uint64_t> bits_;
};

// The key's first in-range record, which the pass is at, and every later
// one, in increasing position.
void RejectKeyFrom(std::int32_t* cells, KeyRecords fromFirst, LaterRejections& later) {
    const detail::KeyConflict conflict =
        KeepReasons ? ConflictOf(cells, fromFirst) : detail::KeyConflict{};
    cells[Index(fromFirst.front().values.position, Status)] = StatusRejected;
    for (const KeyedRecord& r : fromFirst) {
        const std::int32_t position = r.values.position;
        RejectedList->Add(position);
        later.Add(position);
        if (KeepReasons) {
            detail::RecordKeyRejection(conflict, position);
        }
    }
}

// Each conflicting key's records from its first in-range record F on, in
// the order of F.
std::vector<KeyRecords> FromFirsts(const std::vector<KeyedRecord>& conflicting) {
    std::vector<KeyRecords> fromFirsts;
    for (auto key = conflicting.begin(); key != conflicting.end();) {
        const auto keyEnd = std::find_if(key, conflicting.end(),
                                         [&](const KeyedRecord& r) { return r.slot != key->slot; });
        const auto first = std::find_if(key, keyEnd, [](const KeyedRecord& r) {
            return ValuesInRange(r.values.value1, r.values.value2);
        });
        fromFirsts.push_back(KeyRecords(first, keyEnd));
        key = keyEnd;
    }
    std::sort(fromFirsts.begin(), fromFirsts.end(), [](const auto& a, const auto& b) {
        return a.front().values.position < b.front().values.position;
    });
    return fromFirsts;
}

// A key with a conflict goes down as a whole when the pass reaches its first
// in-range record F: F and every later record of the key, in increasing
// position. Records before F are out of range and rejected on their own.
// Every other record is rejected only for its range; so an in-range record
// not yet rejected is either the next F or kept.
void ValidateRecords(std::int32_t* cells, detail::ColumnSpan keys) {
    const detail::KeySlots slots(cells, keys);
    const std::vector<KeyedRecord> conflicting =
        ConflictingRecords(cells, slots, KeyStates(cells, slots));
    const auto fromFirsts = FromFirsts(conflicting);
    auto nextKey = fromFirsts.begin();
    LaterRejections later;
    // Room for every record: pages never written cost no memory, while
    // regrowing would leave the outgrown blocks to the allocator.
    RejectedList->Reserve(static_cast<std::size_t>(RecordCount));
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (later.Has(p)) {
            cells[Index(p, Status)] = StatusRejected; // with its key
        } else if (!InRange(cells, p)) {
            RejectForRange(cells, p);
        } else if (nextKey != fromFirsts.end() && nextKey->front().values.position == p) {
            RejectKeyFrom(cells, *nextKey++, later);
        }
    }
}

// Where the exchange sort puts the records of one Value2 v, given as the
// positions a1 < a2 < ... < am they had before it. Walking the table in its
// old order with a queue L: a record of value v is appended to L, a record of
// a smaller value rotates a non-empty L left by one (front to back), larger
// values do nothing; L then is the final order. (The differential tests
// check this against the exchange sort itself.) Between two appends L has a
// fixed length k, so only the number of rotations modulo k matters.
struct EqualValueRun {
    std::span<const std::int32_t> members;
    std::vector<std::int32_t> rotations; // after each append, modulo the length
    std::int64_t totalRotations = 0;
};

EqualValueRun RotationsOf(std::span<const std::int32_t> members,
                          std::span<const std::int32_t> smallerBefore, std::int32_t smallerTotal) {
    EqualValueRun run{members, std::vector<std::int32_t>(members.size()), 0};
    for (std::size_t k = 0; k < members.size(); ++k) {
        const std::int32_t gapEnd = k + 1 < members.size() ? smallerBefore[k + 1] : smallerTotal;
        const std::int32_t gap = gapEnd - smallerBefore[k];
        const auto length = static_cast<std::int32_t>(k + 1);
        // Gaps are mostly shorter than the queue: spare the division.
        run.rotations[k] = gap < length ? gap : gap % length;
        run.totalRotations += run.rotations[k];
    }
    return run;
}

// Plays the queue through; cheap while rotations are few. The queue is a
// ring of the run's length rounded up to a power of two: a rotation moves
// the front record to the back and the head on.
void FinalOrderBySimulation(const EqualValueRun& run, std::span<std::int32_t> order) {
    const std::size_t mask = std::bit_ceil(run.members.size()) - 1;
    std::vector<std::int32_t> ring(mask + 1);
    std::size_t head = 0;
    for (std::size_t k = 0; k < run.members.size(); ++k) {
        ring[(head + k) & mask] = run.members[k];
        for (std::int32_t r = 0; r < run.rotations[k]; ++r, ++head) {
            ring[(head + k + 1) & mask] = ring[head & mask];
        }
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = ring[(head + i) & mask];
    }
}

// The same in O(m log m) whatever the rotations: L is a ring of slots with a
// head index; a rotation moves the head, an append inserts just before the
// head. The inserts are replayed backwards over free slots to find each
// record's place in the ring.
void FinalOrderByRing(const EqualValueRun& run, std::span<std::int32_t> order) {
    const std::size_t count = run.members.size();
    std::vector<std::int32_t> insertAt(count);
    std::size_t head = 0;
    for (std::size_t k = 0; k < count; ++k) {
        insertAt[k] = static_cast<std::int32_t>(head);
        head = (head + 1 + static_cast<std::size_t>(run.rotations[k])) % (k + 1);
    }
    std::vector<std::int32_t> ring(count);
    FenwickTree freeSlots = FenwickTree::AllOnes(count);
    for (std::size_t k = count; k-- > 0;) {
        const std::size_t slot = freeSlots.FindRank(insertAt[k] + 1);
        ring[slot] = run.members[k];
        freeSlots.Add(slot, -1);
    }
    std::rotate_copy(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(head), ring.end(),
                     order.begin());
}

// Writes the run's final order over its members: both ways write the order
// only once they have read every member.
void PlaceEqualValues(std::span<std::int32_t> members, std::span<const std::int32_t> smallerBefore,
                      std::int32_t smallerTotal) {
    const EqualValueRun run = RotationsOf(members, smallerBefore, smallerTotal);
    constexpr std::int64_t CheapRotationsPerMember = 8;
    if (run.totalRotations <= CheapRotationsPerMember * static_cast<std::int64_t>(members.size())) {
        FinalOrderBySimulation(run, members);
    } else {
        FinalOrderByRing(run, members);
    }
}

// The row that each final position takes under the exchange sort by
// Value2, given each row's Value2 as its rank among the distinct values
// (rankAt(p), 0 for the smallest).
template <typename RankAt>
std::vector<std::int32_t> OrderByRanks(std::size_t distinct, RankAt rankAt) {
    // Rows grouped by value, in position order, each with its count of
    // earlier rows of smaller value: a counting sort by rank, and a
    // Fenwick tree over the ranks.
    std::vector<std::int32_t> runStart(distinct + 1, 0);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        ++runStart[rankAt(p) + 1];
    }
    for (std::size_t r = 1; r < runStart.size(); ++r) {
        runStart[r] += runStart[r - 1];
    }
    const auto count = static_cast<std::size_t>(RecordCount);
    std::vector<std::int32_t> members(count);
    std::vector<std::int32_t> smallerBefore(count);
    std::vector<std::int32_t> fill(runStart.begin(), runStart.end() - 1);
    FenwickTree seen(distinct);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        const std::size_t rank = rankAt(p);
        const auto at = static_cast<std::size_t>(fill[rank]++);
        members[at] = p;
        smallerBefore[at] = seen.PrefixSum(rank);
        seen.Add(rank, 1);
    }

    // Each run of a value ends where the sort puts it: in place, members
    // become the rows in their final order.
    const std::span<std::int32_t> allMembers(members);
    const std::span<const std::int32_t> allSmaller(smallerBefore);
    for (std::size_t r = 0; r < distinct; ++r) {
        const auto begin = static_cast<std::size_t>(runStart[r]);
        const auto length = static_cast<std::size_t>(runStart[r + 1]) - begin;
        PlaceEqualValues(allMembers.subspan(begin, length), allSmaller.subspan(begin, length),
                         runStart[r]);
    }
    return members;
}

// Usually the values span a short range, and a table by value gives each
// row's rank as it is asked for; otherwise the values are sorted once and
// the ranks kept by position.
std::vector<std::int32_t> ExchangeSortOrder(const std::int32_t* cells, detail::ColumnSpan values) {
    constexpr std::int64_t ShortSpan = 1 << 16;
    if (values.span > ShortSpan) {
        const detail::ColumnRanks ranks = detail::RanksBySorting(cells, Value2);
        return OrderByRanks(ranks.distinct, [&ranks](std::int32_t p) {
            return static_cast<std::size_t>(ranks.rankOf[static_cast<std::size_t>(p)]);
        });
    }
    std::vector<std::int32_t> rankOfValue(static_cast<std::size_t>(values.span), 0);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        rankOfValue[values.SlotAt(cells, p)] = 1;
    }
    std::size_t distinct = 0;
    for (std::int32_t& rank : rankOfValue) {
        const bool present = rank != 0;
        rank = static_cast<std::int32_t>(distinct);
        distinct += present ? 1 : 0;
    }
    return OrderByRanks(distinct, [&](std::int32_t p) {
        return static_cast<std::size_t>(rankOfValue[values.SlotAt(cells, p)]);
    });
}

// Gathers every row into a new table in its final order: each read is
// independent of the others and each row is written whole, in order; rows
// ahead in the gather are asked for before they are read.
// RejectedList and the reasons follow their records: a rejected row's new
// position is left in its old row's Status, which nothing reads again.
void MoveRows(const std::vector<std::int32_t>& sourceOf) {
    platform::IntTable sorted;
    sorted.Create(RecordCount, FieldCount);
    std::int32_t* from = RecordTable.Data();
    std::int32_t* to = sorted.DataToOverwrite();
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (p + Ahead < RecordCount) {
            const std::int32_t* ahead =
                from + Index(sourceOf[static_cast<std::size_t>(p + Ahead)], 0);
            platform::Prefetch(ahead);
            platform::Prefetch(ahead + FieldCount - 1); // a row may span two lines
        }
        const std::int32_t source = sourceOf[static_cast<std::size_t>(p)];
        std::int32_t* row = from + Index(source, 0);
        for (std::int32_t c = 0; c < FieldCount; ++c) {
            to[Index(p, c)] = row[c]; // a fixed count: no call per row
        }
        if (row[Status] == StatusRejected) {
            row[Status] = p;
        }
    }
    const platform::IntTable unsorted = std::exchange(RecordTable, std::move(sorted));
    if (RejectedList->Count() == 0) {
        return;
    }
    const auto finalPosition = [from](std::int32_t p) { return from[Index(p, Status)]; };
    for (std::int32_t k = 1; k <= RejectedList->Count(); ++k) {
        std::int32_t& entry = RejectedList->Item(k);
        entry = finalPosition(entry);
    }
    detail::RenumberReasons(finalPosition);
}

} // namespace

void ValidateAndSort() {
    const platform::Building building("validating and sorting " + std::to_string(RecordCount) +
                                      " records");
    OutputLists.emplace();
    NotPlacedList.emplace();
    RejectedList.emplace();
    RejectedReasons.clear();
    NotPlacedReasons.clear();
    OutputLeadSizes.clear();
    if (RecordCount <= 0) {
        return;
    }
    std::int32_t* cells = detail::TableCells();
    if constexpr (platform::CheckGuarantees) {
        for (std::int32_t p = 0; p < RecordCount; ++p) {
            platform::Expect(cells[Index(p, Status)] == StatusFree,
                             "every record is free as loaded");
        }
    }
    const auto [keys, values] = detail::SpansOf(cells, std::array{GroupKey, Value2});
    ValidateRecords(cells, keys);
    MoveRows(ExchangeSortOrder(cells, values));
}

} // namespace modQuorvale
