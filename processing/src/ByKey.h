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
    explicit KeySlots(const std::int32_t* cells)
        : cells_(cells), keys_(SpanOf(cells, GroupKey)),
          count_(static_cast<std::size_t>(keys_.span)) {
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
    // The records of slot k, none if no record has its key.
    std::span<const RecordValues> Key(std::size_t k) const {
        const auto begin = static_cast<std::size_t>(k == 0 ? 0 : ends[k - 1]);
        return std::span(records).subspan(begin, static_cast<std::size_t>(ends[k]) - begin);
    }
};

// The records whose position take(p) accepts, grouped by a counting sort of
// their slots: one count and one placing pass, nothing ordered. The slots
// are in no order, so both passes ask for the entries ahead
// (platform::PrefetchAhead).
template <typename Take>
RecordsByKey GroupByKey(const std::int32_t* cells, KeySlots slots, Take take) {
    RecordsByKey grouped;
    // Each slot's count, then where its records start, then where they end.
    std::vector<std::int32_t>& at = grouped.ends;
    at.assign(slots.Count(), 0);
    constexpr std::int32_t Ahead = platform::PrefetchAhead;
    const std::int32_t aheadEnd = RecordCount - 2 * Ahead;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (p < aheadEnd) {
            platform::PrefetchForWrite(&at[slots(p + Ahead)]);
        }
        if (take(p)) {
            ++at[slots(p)];
        }
    }
    std::int32_t total = 0;
    for (std::int32_t& slot : at) {
        total += std::exchange(slot, total);
    }
    grouped.records.resize(static_cast<std::size_t>(total));
    RecordValues* records = grouped.records.data();
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        // The slot's entry first, then the record's place that it gives.
        if (p < aheadEnd) {
            platform::Prefetch(&at[slots(p + 2 * Ahead)]);
            platform::PrefetchForWrite(records + at[slots(p + Ahead)]);
        }
        if (take(p)) {
            records[at[slots(p)]++] = {cells[Index(p, Value1)], cells[Index(p, Value2)], p};
        }
    }
    return grouped;
}

} // namespace modQuorvale::detail
