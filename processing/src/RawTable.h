#pragma once

// Row-major access to RecordTable for the bulk stages. The table's bound test
// is made once for the whole range instead of at every field.

#include "StableOrder.h"
#include "modQuorvale.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace modQuorvale::detail {

inline std::size_t Index(std::int32_t position, std::int32_t column) {
    return static_cast<std::size_t>(position) * FieldCount + static_cast<std::size_t>(column);
}

// The cells of positions 0 to RecordCount - 1. A table smaller than that
// fails the bound test here, as the first access beyond it would.
inline std::int32_t* TableCells() {
    if (RecordCount > 0 &&
        (RecordTable.Rows() < RecordCount || RecordTable.Columns() != FieldCount)) {
        RecordTable.Get(RecordCount - 1, FieldCount - 1);
    }
    return RecordTable.Data();
}

// The lowest value of a column over positions 0 to RecordCount - 1 (at
// least one), and how many values there are from it to the highest: what
// decides whether a table indexed by the value is small enough.
struct ColumnSpan {
    std::int32_t column;
    std::int32_t low;
    std::int64_t span;

    // Whether a table with an entry for every value from low on is no
    // larger than the record table: then it is worth indexing by value.
    bool FitsTable() const { return span <= RecordCount; }
    // The entry of such a table for the value at position p.
    std::size_t SlotAt(const std::int32_t* cells, std::int32_t p) const {
        return static_cast<std::size_t>(std::int64_t{cells[Index(p, column)]} - low);
    }
};

// The spans of some columns, found in one pass.
template <std::size_t N>
std::array<ColumnSpan, N> SpansOf(const std::int32_t* cells,
                                  const std::array<std::int32_t, N>& columns) {
    std::array<std::int32_t, N> low;
    std::array<std::int32_t, N> high;
    for (std::size_t c = 0; c < N; ++c) {
        low[c] = high[c] = cells[Index(0, columns[c])];
    }
    for (std::int32_t p = 1; p < RecordCount; ++p) {
        for (std::size_t c = 0; c < N; ++c) {
            low[c] = std::min(low[c], cells[Index(p, columns[c])]);
            high[c] = std::max(high[c], cells[Index(p, columns[c])]);
        }
    }
    std::array<ColumnSpan, N> spans;
    for (std::size_t c = 0; c < N; ++c) {
        spans[c] = {columns[c], low[c], std::int64_t{high[c]} - low[c] + 1};
    }
    return spans;
}

inline ColumnSpan SpanOf(const std::int32_t* cells, std::int32_t column) {
    return SpansOf(cells, std::array{column})[0];
}

// Each row's value in a column as its rank among the distinct values, 0 for
// the smallest, and how many distinct values there are.
struct ColumnRanks {
    std::vector<std::int32_t> rankOf; // by position
    std::size_t distinct = 0;
};

// The ranks from one radix sort of the values, whatever their span.
inline ColumnRanks RanksBySorting(const std::int32_t* cells, std::int32_t column) {
    struct ValuedPosition {
        std::uint32_t value; // in unsigned order
        std::int32_t position;
    };
    std::vector<ValuedPosition> byValue(static_cast<std::size_t>(RecordCount));
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        byValue[static_cast<std::size_t>(p)] = {OrderKey(cells[Index(p, column)]), p};
    }
    StableSortBy(byValue, [](const ValuedPosition& v) { return v.value; });
    ColumnRanks ranks;
    ranks.rankOf.resize(byValue.size());
    for (std::size_t i = 0; i < byValue.size(); ++i) {
        ranks.distinct += i == 0 || byValue[i].value != byValue[i - 1].value ? 1 : 0;
        ranks.rankOf[static_cast<std::size_t>(byValue[i].position)] =
            static_cast<std::int32_t>(ranks.distinct - 1);
    }
    return ranks;
}

} // namespace modQuorvale::detail
