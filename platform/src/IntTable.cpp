#include "platform/IntTable.h"

#include "platform/FatalError.h"

#include <algorithm>
#include <string>

namespace platform {

void IntTable::Create(std::int32_t rows, std::int32_t columns) {
    rows_ = std::max(rows, 0);
    columns_ = std::max(columns, 0);
    cells_.clear();
    cells_.shrink_to_fit();
    // Address space only, no memory until written: saves the copies of
    // regrowing while a table of ordinary size is filled, and stays small
    // for a count that the file cannot back.
    constexpr std::size_t ReservedCells = std::size_t{1} << 23;
    cells_.reserve(std::min(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_),
                            ReservedCells));
}

void IntTable::RaiseOutOfBounds(std::int32_t row, std::int32_t column) const {
    Raise("table index (" + std::to_string(row) + ", " + std::to_string(column) +
          ") is outside (0 to " + std::to_string(rows_ - 1) + ", 0 to " +
          std::to_string(columns_ - 1) + ")");
}

void IntTable::Grow(std::size_t index) {
    // Doubling keeps row-by-row filling linear.
    const std::size_t total = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    const std::size_t wanted = std::max(index + 1, cells_.size() * 2);
    cells_.resize(std::min(wanted, total), 0);
}

void IntTable::ReplaceCells(std::vector<std::int32_t>&& cells) {
    if (cells.size() != static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_)) {
        Raise("a table of " + std::to_string(rows_) + " by " + std::to_string(columns_) +
              " cannot take " + std::to_string(cells.size()) + " cells");
    }
    cells_ = std::move(cells);
}

void IntTable::Materialise() const {
    // Once full, leave the vector alone: other threads may be reading it.
    const std::size_t total = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    if (cells_.size() != total) {
        cells_.resize(total, 0);
    }
}

std::int32_t* IntTable::Data() {
    Materialise();
    return cells_.data();
}

const std::int32_t* IntTable::Data() const {
    Materialise();
    return cells_.data();
}

} // namespace platform
