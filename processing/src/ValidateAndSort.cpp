#include "StableOrder.h"
#include "modQuorvale.h"

#include <algorithm>
#include <vector>

// Gives the same table, statuses and RejectedList as the plain procedure
// (scan later rows for a conflict, exchange sort by Value2), in O(n log n).

namespace modQuorvale {

namespace {

using detail::FenwickTree;
using detail::OrderKey;
using detail::StableSortBy;

std::size_t Index(std::int32_t position, std::int32_t column) {
    return static_cast<std::size_t>(position) * FieldCount + static_cast<std::size_t>(column);
}

bool RowInRange(const std::int32_t* cells, std::int32_t position) {
    const std::int32_t value1 = cells[Index(position, Value1)];
    const std::int32_t value2 = cells[Index(position, Value2)];
    return value1 >= Value1Min && value1 <= Value1Max && value2 >= Value2Min && value2 <= Value2Max;
}

std::vector<std::int32_t> AllPositions(std::int32_t count) {
    std::vector<std::int32_t> positions(static_cast<std::size_t>(count));
    for (std::int32_t p = 0; p < count; ++p) {
        positions[static_cast<std::size_t>(p)] = p;
    }
    return positions;
}

// What the pass needs to know about one GroupKey: its positions (a slice of
// the positions ordered by key), where its first in-range record F stands in
// that slice, and whether a later record has another Value1.
struct KeyFacts {
    std::size_t begin;
    std::size_t end;
    std::size_t first; // == end when the key has no in-range record
    bool conflict;
};

// A key with a conflict goes down as a whole when the pass reaches F: F and
// every later record of the key, in increasing position. Records before F
// are out of range and were rejected on their own. Every other record is
// rejected only for its range.
void ValidateRecords(std::int32_t* cells) {
    std::vector<std::int32_t> byKey = AllPositions(RecordCount);
    StableSortBy(byKey, [&](std::int32_t p) { return OrderKey(cells[Index(p, GroupKey)]); });

    std::vector<KeyFacts> keys;
    std::vector<std::int32_t> keyOf(byKey.size());
    for (std::size_t begin = 0; begin < byKey.size();) {
        const std::int32_t key = cells[Index(byKey[begin], GroupKey)];
        std::size_t end = begin;
        while (end < byKey.size() && cells[Index(byKey[end], GroupKey)] == key) {
            ++end;
        }
        KeyFacts facts{begin, end, end, false};
        for (std::size_t k = begin; k < end; ++k) {
            keyOf[static_cast<std::size_t>(byKey[k])] = static_cast<std::int32_t>(keys.size());
            if (facts.first == end && RowInRange(cells, byKey[k])) {
                facts.first = k;
            } else if (facts.first != end) {
                facts.conflict = facts.conflict || cells[Index(byKey[k], Value1)] !=
                                                       cells[Index(byKey[facts.first], Value1)];
            }
        }
        keys.push_back(facts);
        begin = end;
    }

    auto reject = [&](std::int32_t position) {
        cells[Index(position, Status)] = StatusRejected;
        RejectedList->Add(position);
    };
    for (std::int32_t i = 0; i < RecordCount; ++i) {
        const KeyFacts& facts = keys[static_cast<std::size_t>(keyOf[static_cast<std::size_t>(i)])];
        if (facts.conflict && i >= byKey[facts.first]) {
            if (i == byKey[facts.first]) {
                for (std::size_t k = facts.first; k < facts.end; ++k) {
                    reject(byKey[k]);
                }
            }
        } else if (!RowInRange(cells, i)) {
            reject(i);
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
    const std::vector<std::int32_t>& members;
    std::vector<std::int32_t> rotations; // after each append, modulo the length
    std::int64_t totalRotations = 0;
};

EqualValueRun RotationsOf(const std::vector<std::int32_t>& members,
                          const std::vector<std::int32_t>& smallerBefore,
                          std::int32_t smallerTotal) {
    EqualValueRun run{members, std::vector<std::int32_t>(members.size()), 0};
    for (std::size_t k = 0; k < members.size(); ++k) {
        const std::int32_t gapEnd = k + 1 < members.size()
                                        ? smallerBefore[static_cast<std::size_t>(members[k + 1])]
                                        : smallerTotal;
        const std::int32_t gap = gapEnd - smallerBefore[static_cast<std::size_t>(members[k])];
        run.rotations[k] = gap % static_cast<std::int32_t>(k + 1);
        run.totalRotations += run.rotations[k];
    }
    return run;
}

// Plays the queue through; cheap while rotations are few.
std::vector<std::int32_t> FinalOrderBySimulation(const EqualValueRun& run) {
    std::vector<std::int32_t> queue;
    queue.reserve(run.members.size() + static_cast<std::size_t>(run.totalRotations));
    std::size_t front = 0;
    for (std::size_t k = 0; k < run.members.size(); ++k) {
        queue.push_back(run.members[k]);
        for (std::int32_t r = 0; r < run.rotations[k]; ++r) {
            queue.push_back(queue[front++]);
        }
    }
    return {queue.begin() + static_cast<std::ptrdiff_t>(front), queue.end()};
}

// The same in O(m log m) whatever the rotations: L is a ring of slots with a
// head index; a rotation moves the head, an append inserts just before the
// head. The inserts are replayed backwards over free slots to find each
// record's place in the ring.
std::vector<std::int32_t> FinalOrderByRing(const EqualValueRun& run) {
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
    std::rotate(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(head), ring.end());
    return ring;
}

void PlaceEqualValues(const std::vector<std::int32_t>& members,
                      const std::vector<std::int32_t>& smallerBefore, std::int32_t smallerTotal,
                      std::vector<std::int32_t>& finalPosition) {
    const EqualValueRun run = RotationsOf(members, smallerBefore, smallerTotal);
    constexpr std::int64_t CheapRotationsPerMember = 8;
    const std::vector<std::int32_t> order =
        run.totalRotations <= CheapRotationsPerMember * static_cast<std::int64_t>(members.size())
            ? FinalOrderBySimulation(run)
            : FinalOrderByRing(run);
    for (std::size_t i = 0; i < order.size(); ++i) {
        finalPosition[static_cast<std::size_t>(order[i])] =
            smallerTotal + static_cast<std::int32_t>(i);
    }
}

// The final position of every row under the exchange sort by Value2.
std::vector<std::int32_t> ExchangeSortOrder(const std::int32_t* cells) {
    std::vector<std::int32_t> byValue = AllPositions(RecordCount);
    StableSortBy(byValue, [&](std::int32_t p) { return OrderKey(cells[Index(p, Value2)]); });

    // Dense rank of each row's value, then for each row the number of
    // earlier rows with a smaller value.
    std::vector<std::int32_t> rank(byValue.size());
    std::int32_t ranks = 0;
    for (std::size_t k = 0; k < byValue.size(); ++k) {
        if (k > 0 && cells[Index(byValue[k], Value2)] != cells[Index(byValue[k - 1], Value2)]) {
            ++ranks;
        }
        rank[static_cast<std::size_t>(byValue[k])] = ranks;
    }
    std::vector<std::int32_t> smallerBefore(byValue.size());
    FenwickTree seen(static_cast<std::size_t>(ranks) + 1);
    for (std::size_t p = 0; p < byValue.size(); ++p) {
        smallerBefore[p] = seen.PrefixSum(static_cast<std::size_t>(rank[p]));
        seen.Add(static_cast<std::size_t>(rank[p]), 1);
    }

    std::vector<std::int32_t> finalPosition(byValue.size());
    std::vector<std::int32_t> members;
    for (std::size_t begin = 0; begin < byValue.size();) {
        std::size_t end = begin;
        while (end < byValue.size() &&
               cells[Index(byValue[end], Value2)] == cells[Index(byValue[begin], Value2)]) {
            ++end;
        }
        members.assign(byValue.begin() + static_cast<std::ptrdiff_t>(begin),
                       byValue.begin() + static_cast<std::ptrdiff_t>(end));
        const auto smallerTotal = static_cast<std::int32_t>(begin);
        PlaceEqualValues(members, smallerBefore, smallerTotal, finalPosition);
        begin = end;
    }
    return finalPosition;
}

// Moves every row, all five fields, to its final position; RejectedList
// follows its records.
void SortByValue2(std::int32_t* cells) {
    const std::vector<std::int32_t> finalPosition = ExchangeSortOrder(cells);
    std::vector<std::int32_t> sorted(finalPosition.size() * FieldCount);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        std::copy_n(cells + Index(p, 0), FieldCount,
                    sorted.begin() +
                        static_cast<std::ptrdiff_t>(Index(finalPosition[static_cast<std::size_t>(p)], 0)));
    }
    std::copy(sorted.begin(), sorted.end(), cells);
    for (std::int32_t k = 1; k <= RejectedList->Count(); ++k) {
        std::int32_t& entry = RejectedList->Item(k);
        entry = finalPosition[static_cast<std::size_t>(entry)];
    }
}

} // namespace

bool IsInRange(std::int32_t position) {
    const std::int32_t value1 = RecordTable.Get(position, Value1);
    const std::int32_t value2 = RecordTable.Get(position, Value2);
    return value1 >= Value1Min && value1 <= Value1Max && value2 >= Value2Min && value2 <= Value2Max;
}

void ValidateAndSort() {
    OutputLists.emplace();
    NotPlacedList.emplace();
    RejectedList.emplace();
    if (RecordCount <= 0) {
        return;
    }
    std::int32_t* cells = RecordTable.Data();
    ValidateRecords(cells);
    SortByValue2(cells);
}

} // namespace modQuorvale
