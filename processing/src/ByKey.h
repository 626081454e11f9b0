#pragma once

// Records grouped by GroupKey, for validation and grouping alike: each looks
// at a key's records together, in position order.

#include "RawTable.h"
#include "modQuorvale.h"
#include "platform/Prefetch.h"

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace modQuorvale::detail {

// Each record's GroupKey as a slot from 0 to Count() - 1 that only the
// records of that key share. When a table with an entry for every key from
// the lowest to the highest is no larger than the record table, the slot is
// the key's distance from the lowest; otherwise it is the key's rank. Needs
// at least one record. Cheap to copy and passed by value, so that the
// stages' writes to their tables cannot make the compiler read it again.
class KeySlots {
public:
    explicit KeySlots(const std::int32_t* cells) : KeySlots(cells, SpanOf(cells, GroupKey)) {}
    // Given the GroupKey column's span, already found.
    KeySlots(const std::int32_t* cells, ColumnSpan keys)
        : cells_(cells), keys_(keys), count_(static_cast<std::size_t>(keys_.span)) {
        if (!keys_.FitsTable()) {
            ranks_ = std::make_shared<const ColumnRanks>(RanksBySorting(cells, GroupKey));
            rankAt_ = ranks_->rankOf.data();
            count_ = ranks_->distinct;
        }
    }

    std::size_t Count() const { return count_; }
    std::size_t operator()(std::int32_t p) const {
        return rankAt_ == nullptr ? keys_.SlotAt(cells_, p)
                                  : static_cast<std::size_t>(rankAt_[static_cast<std::size_t>(p)]);
    }

private:
    const std::int32_t* cells_;
    ColumnSpan keys_;
    std::size_t count_;
    std::shared_ptr<const ColumnRanks> ranks_; // only when no table fits
    const std::int32_t* rankAt_ = nullptr;
};

// A record's values beside its position, so that work by key reads no
// scattered rows of the table.
struct RecordValues {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t position;
};

// Records, those of each key together and in position order, by slot.
struct RecordsByKey {
    std::vector<RecordValues> records;
    std::vector<std::int32_t> ends; // where each slot's records end

    std::size_t SlotCount() const { return ends.size(); }
    // Where the records of slot k start; for SlotCount(), where all end.
    std::size_t Start(std::size_t k) const {
        return k == 0 ? 0 : static_cast<std::size_t>(ends[k - 1]);
    }
    // The records of slot k, none if no record has its key.
    std::span<const RecordValues> Key(std::size_t k) const {
        return std::span(records).subspan(Start(k), Start(k + 1) - Start(k));
    }
};

// Counts the records from position begin up to end whose position take(p)
// accepts, by slot. The slots are in no order, so the pass asks for the
// entries ahead (platform::PrefetchAhead).
template <typename Take>
void CountBySlot(KeySlots slots, std::int32_t begin, std::int32_t end, Take take,
                 std::vector<std::int32_t>& count) {
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    for (std::int32_t p = begin; p < end; ++p) {
        if (p + Ahead < end) {
            platform::PrefetchForWrite(&count[slots(p + Ahead)]);
        }
        if (take(p)) {
            ++count[slots(p)];
        }
    }
}

// Puts the records from begin up to end that take(p) accepts at their
// slots' next places, which `at` gives and moves on: the entry first, then
// the record's place that it gives, each asked for ahead.
template <typename Take>
void PlaceBySlot(const std::int32_t* cells, KeySlots slots, std::int32_t begin, std::int32_t end,
                 Take take, std::vector<std::int32_t>& at, RecordValues* records) {
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    for (std::int32_t p = begin; p < end; ++p) {
        if (p + 2 * Ahead < end) {
            platform::Prefetch(&at[slots(p + 2 * Ahead)]);
            platform::PrefetchForWrite(records + at[slots(p + Ahead)]);
        }
        if (take(p)) {
            records[at[slots(p)]++] = {cells[Index(p, Value1)], cells[Index(p, Value2)], p};
        }
    }
}

// The records whose position take(p) accepts, grouped by a counting sort of
// their slots: one count and one placing pass, nothing ordered. Each pass
// is split at the middle position, and runBoth(first, second) runs the two
// halves, in any order or at once: each half has counts and places of its
// own, the lower half's places before the upper half's within a slot.
template <typename Take, typename RunBoth>
RecordsByKey GroupByKey(const std::int32_t* cells, KeySlots slots, Take take, RunBoth runBoth) {
    const std::int32_t middle = RecordCount / 2;
    // Each slot's count in each half, then where the half's records start,
    // then where they end.
    std::vector<std::int32_t> lower(slots.Count(), 0);
    std::vector<std::int32_t> upper(slots.Count(), 0);
    runBoth([&] { CountBySlot(slots, 0, middle, take, lower); },
            [&] { CountBySlot(slots, middle, RecordCount, take, upper); });
    std::int32_t total = 0;
    for (std::size_t k = 0; k < lower.size(); ++k) {
        const std::int32_t lowerCount = std::exchange(lower[k], total);
        total += lowerCount;
        total += std::exchange(upper[k], total);
    }
    RecordsByKey grouped;
    grouped.records.resize(static_cast<std::size_t>(total));
    RecordValues* records = grouped.records.data();
    runBoth([&] { PlaceBySlot(cells, slots, 0, middle, take, lower, records); },
            [&] { PlaceBySlot(cells, slots, middle, RecordCount, take, upper, records); });
    // The upper half's places have moved on to where each slot ends.
    grouped.ends = std::move(upper);
    return grouped;
}

} // namespace modQuorvale::detail
