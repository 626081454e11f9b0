#pragma once

// Records grouped by GroupKey, for validation and grouping alike: each looks
// at a key's records together, in position order.

#include "RawTable.h"
#include "StableOrder.h"
#include "modQuorvale.h"

#include <cstdint>
#include <memory>
#include <numeric>
#include <span>
#include <vector>

namespace modQuorvale::detail {

// Each record's GroupKey as a slot from 0 to Count() - 1 that only the
// records of that key share. When a table with an entry for every key from
// the lowest to the highest is no larger than the record table, the slot is
// the key's distance from the lowest; otherwise it is the key's rank, from a
// radix sort of the positions by key. Needs at least one record. Cheap to
// copy and passed by value, so that the stages' writes to their tables
// cannot make the compiler read it again.
class KeySlots {
public:
    explicit KeySlots(const std::int32_t* cells)
        : cells_(cells), keys_(SpanOf(cells, GroupKey)),
          count_(static_cast<std::size_t>(keys_.span)) {
        if (!keys_.FitsTable()) {
            RankKeys();
        }
    }

    std::size_t Count() const { return count_; }
    std::size_t operator()(std::int32_t p) const {
        return rankAt_ == nullptr ? keys_.SlotAt(cells_, p)
                                  : static_cast<std::size_t>(rankAt_[static_cast<std::size_t>(p)]);
    }

private:
    void RankKeys() {
        std::vector<std::int32_t> byKey(static_cast<std::size_t>(RecordCount));
        std::iota(byKey.begin(), byKey.end(), 0);
        auto keyOf = [&](std::int32_t p) { return cells_[Index(p, GroupKey)]; };
        StableSortBy(byKey, [&](std::int32_t p) { return OrderKey(keyOf(p)); });
        rankAt_ = std::make_shared<std::int32_t[]>(byKey.size());
        std::int32_t rank = 0;
        for (std::size_t i = 0; i < byKey.size(); ++i) {
            rank += i > 0 && keyOf(byKey[i]) != keyOf(byKey[i - 1]) ? 1 : 0;
            rankAt_[static_cast<std::size_t>(byKey[i])] = rank;
        }
        count_ = static_cast<std::size_t>(rank) + 1;
    }

    const std::int32_t* cells_;
    ColumnSpan keys_;
    std::size_t count_;
    std::shared_ptr<std::int32_t[]> rankAt_; // by position; none when the table fits
};

// A record's values beside its position, so that work by key reads no
// scattered rows of the table.
struct RecordValues {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t position;
};

// Records, those of each key together and in position order.
struct RecordsByKey {
    std::vector<RecordValues> records;
    std::vector<std::int32_t> ends; // where each key's records end

    std::size_t KeyCount() const { return ends.size(); }
    std::span<const RecordValues> Key(std::size_t k) const {
        const auto begin = static_cast<std::size_t>(k == 0 ? 0 : ends[k - 1]);
        return std::span(records).subspan(begin, static_cast<std::size_t>(ends[k]) - begin);
    }
};

// The records whose position take(p) accepts, grouped by a counting sort of
// their slots: one count and one placing pass, nothing ordered.
template <typename Take>
RecordsByKey GroupByKey(const std::int32_t* cells, KeySlots slots, Take take) {
    std::vector<std::int32_t> start(slots.Count() + 1, 0);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (take(p)) {
            ++start[slots(p) + 1];
        }
    }
    RecordsByKey grouped;
    grouped.ends.reserve(slots.Count()); // pages never written cost nothing
    for (std::size_t k = 1; k < start.size(); ++k) {
        if (start[k] != 0) {
            grouped.ends.push_back(start[k - 1] + start[k]);
        }
        start[k] += start[k - 1];
    }
    grouped.records.resize(static_cast<std::size_t>(start.back()));
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (take(p)) {
            grouped.records[static_cast<std::size_t>(start[slots(p)]++)] = {
                cells[Index(p, Value1)], cells[Index(p, Value2)], p};
        }
    }
    return grouped;
}

} // namespace modQuorvale::detail
