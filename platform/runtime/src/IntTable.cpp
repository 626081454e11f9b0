#include "platform/IntTable.h"

#include "platform/FatalError.h"

#include <algorithm>
#include <new>
#include <string>

namespace platform {

IntTable::IntTable(const IntTable& other) {
    *this = other;
}

IntTable& IntTable::operator=(const IntTable& other) {
    if (this != &other) {
        Create(other.rows_, other.columns_);
        FillTo(other.filled_);
        std::copy_n(other.cells_.get(), other.filled_, cells_.get());
    }
    return *this;
}

void IntTable::Create(std::int32_t rows, std::int32_t columns) {
    rows_ = std::max(rows, 0);
    columns_ = std::max(columns, 0);
    // Memory comes as rows are written, in proportion to what the file
    // really holds: a count that the file cannot back costs nothing.
    cells_.reset();
    filled_ = 0;
    capacity_ = 0;
}

void IntTable::RaiseOutOfBounds(std::int32_t row, std::int32_t column) const {
    Raise("table index (" + std::to_string(row) + ", " + std::to_string(column) +
          ") is outside (0 to " + std::to_string(rows_ - 1) + ", 0 to " +
          std::to_string(columns_ - 1) + ")");
}

void IntTable::Reallocate(std::size_t capacity) {
    void* cells = std::realloc(cells_.get(), capacity * sizeof(std::int32_t));
    if (cells == nullptr) {
        throw std::bad_alloc();
    }
    static_cast<void>(cells_.release());
    cells_.reset(static_cast<std::int32_t*>(cells));
    capacity_ = capacity;
}

void IntTable::GrowTo(std::size_t count) {
    if (count > capacity_) {
        Reallocate(std::min(std::max(count, capacity_ * 2), Total()));
    }
}

void IntTable::Reserve(std::int32_t rows) {
    const auto cells =
        static_cast<std::size_t>(std::clamp(rows, 0, rows_)) * static_cast<std::size_t>(columns_);
    if (cells > capacity_) {
        Reallocate(cells);
    }
}

void IntTable::FillTo(std::size_t count) {
    GrowTo(count);
    if (count > filled_) {
        std::fill(cells_.get() + filled_, cells_.get() + count, 0);
        filled_ = count;
    }
}

std::int32_t* IntTable::Data() {
    FillTo(Total());
    return cells_.get();
}

std::int32_t* IntTable::DataToOverwrite() {
    GrowTo(Total());
    filled_ = Total();
    return cells_.get();
}

} // namespace platform
