#pragma once

// Row-major access to RecordTable for the bulk stages. The table's bound test
// is made once for the whole range instead of at every field.

#include "modQuorvale.h"

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

} // namespace modQuorvale::detail
