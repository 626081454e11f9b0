#pragma once

// The free records grouped by GroupKey, for validation and grouping alike:
// both look at a key's records together, in position order.

#include "RawTable.h"
#include "StableOrder.h"
#include "modQuorvale.h"

#include <cstdint>
#include <vector>

namespace modQuorvale::detail {

// A record's values beside its position, so that work by key reads no
// scattered rows of the table.
struct RecordValues {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t position;
};

// The free records, those of each key together and in position order, and
// where each key's records end.
struct RecordsByKey {
    std::vector<RecordValues> records;
    std::vector<std::int32_t> ends;
};

inline RecordValues ValuesAt(const std::int32_t* cells, std::int32_t p) {
    return {cells[Index(p, Value1)], cells[Index(p, Value2)], p};
}

inline bool IsFree(const std::int32_t* cells, std::int32_t p) {
    return cells[Index(p, Status)] == StatusFree;
}

// For keys of a span no wider than the table: one count and one placing
// pass by key, nothing ordered.
inline RecordsByKey FreeByKeyTable(const std::int32_t* cells, ColumnSpan keys) {
    const auto span = static_cast<std::size_t>(keys.span);
    std::vector<std::int32_t> start(span + 1, 0);
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (IsFree(cells, p)) {
            ++start[keys.SlotAt(cells, p) + 1];
        }
    }
    RecordsByKey free;
    for (std::size_t k = 1; k <= span; ++k) {
        if (start[k] != 0) {
            free.ends.push_back(start[k - 1] + start[k]);
        }
        start[k] += start[k - 1];
    }
    free.records.resize(static_cast<std::size_t>(start[span]));
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (IsFree(cells, p)) {
            free.records[static_cast<std::size_t>(start[keys.SlotAt(cells, p)]++)] =
                ValuesAt(cells, p);
        }
    }
    return free;
}

// Any keys: the free positions in stable order of their keys.
inline RecordsByKey FreeBySortedKeys(const std::int32_t* cells) {
    std::vector<std::int32_t> positions;
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        if (IsFree(cells, p)) {
            positions.push_back(p);
        }
    }
    auto keyOf = [&](std::int32_t p) { return cells[Index(p, GroupKey)]; };
    StableSortBy(positions, [&](std::int32_t p) { return OrderKey(keyOf(p)); });
    RecordsByKey free;
    free.records.reserve(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i > 0 && keyOf(positions[i]) != keyOf(positions[i - 1])) {
            free.ends.push_back(static_cast<std::int32_t>(i));
        }
        free.records.push_back(ValuesAt(cells, positions[i]));
    }
    if (!positions.empty()) {
        free.ends.push_back(static_cast<std::int32_t>(positions.size()));
    }
    return free;
}

inline RecordsByKey FreeRecordsByKey(const std::int32_t* cells) {
    const ColumnSpan keys = SpanOf(cells, GroupKey);
    return keys.FitsTable() ? FreeByKeyTable(cells, keys) : FreeBySortedKeys(cells);
}

} // namespace modQuorvale::detail
