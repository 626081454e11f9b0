#include "platform/IntTable.h"

#include "platform/FatalError.h"

#include <algorithm>
#include <string>

namespace platform {

void IntTable::Create(std::int32_t rows, std::int32_t columns) {
    rows_ = std::max(rows, 0);
    columns_ = std::max(columns, 0);
    // Memory comes as rows are written, in proportion to what the file
    // really holds: a count that the file cannot back costs nothing.
    cells_.clear();
    cells_.shrink_to_fit();
}

void IntTable::RaiseOutOfBounds(std::int32_t row, std::int32_t column) const {
    Raise("table index (" + std::to_string(row) + ", " + std::to_string(column) +
          ") is outside (0 to " + std::to_string(rows_ - 1) + ", 0 to " +
          std::to_string(columns_ - 1) + ")");
}

void IntTable::Grow(std::size_t index) {
    // Doubling keeps row-by-row filling linear.
    const std::size_t total = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    const std::size_t wanted = std::min(std::max(index + 1, cells_.size() * 2), total);
    // Exactly that much: left to itself, the vector may double past the table.
    cells_.reserve(wanted);
    cells_.resize(wanted, 0);
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
