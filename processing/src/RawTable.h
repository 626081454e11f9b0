#pragma once

// Row-major access to RecordTable for the bulk stages. The table's bound test
// is made once for the whole range instead of at every field.

#include "modQuorvale.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

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

inline ColumnSpan SpanOf(const std::int32_t* cells, std::int32_t column) {
    std::int32_t low = cells[Index(0, column)];
    std::int32_t high = low;
    for (std::int32_t p = 1; p < RecordCount; ++p) {
        low = std::min(low, cells[Index(p, column)]);
        high = std::max(high, cells[Index(p, column)]);
    }
    return {column, low, std::int64_t{high} - low + 1};
}

} // namespace modQuorvale::detail
