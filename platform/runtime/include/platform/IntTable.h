#pragma once

#include "platform/Prefetch.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace platform {

// A two-dimensional table of signed 32-bit integers with bounds 0..rows-1 and
// 0..columns-1, stored row by row. Every access is checked.
//
// Storage grows as rows are written: an element never written reads as 0.
// So a table created for a huge row count costs memory only for the rows
// actually filled, which keeps a lying record count from exhausting memory.
// Its const methods only read, so that two threads may call them at once.
class IntTable {
public:
    IntTable() = default;
    IntTable(const IntTable& other);
    IntTable& operator=(const IntTable& other);
    IntTable(IntTable&&) noexcept = default;
    IntTable& operator=(IntTable&&) noexcept = default;

    // Creates the table anew with every element 0. Negative row counts give
    // an empty table.
    void Create(std::int32_t rows, std::int32_t columns);

    // Takes room for the first `rows` rows (at most the table's) in one
    // block now, for a caller that knows they will be written: one block
    // from the start keeps its large pages, where growing by doubling
    // would move it, and splits them, at each step.
    void Reserve(std::int32_t rows);

    std::int32_t Rows() const { return rows_; }
    std::int32_t Columns() const { return columns_; }

    std::int32_t Get(std::int32_t row, std::int32_t column) const {
        const std::size_t index = IndexOf(row, column);
        return index < filled_ ? cells_.get()[index] : 0;
    }

    void Set(std::int32_t row, std::int32_t column, std::int32_t value) {
        const std::size_t index = IndexOf(row, column);
        PrepareToWrite(index, index + 1);
        cells_.get()[index] = value;
    }

    // Sets a whole row to these values, one per column.
    void SetRow(std::int32_t row, std::span<const std::int32_t> values) {
        const std::size_t first = IndexOf(row, 0);
        if (values.size() != static_cast<std::size_t>(columns_)) {
            RaiseOutOfBounds(row, static_cast<std::int32_t>(values.size()) - 1);
        }
        PrepareToWrite(first, first + values.size());
        std::copy(values.begin(), values.end(), cells_.get() + first);
    }

    // Raises unless the row lies within the bounds.
    void CheckRow(std::int32_t row) const {
        if (row < 0 || row >= rows_) {
            RaiseOutOfBounds(row, 0);
        }
    }

    // Calls act(row, values) for each of these rows in order, `values`
    // holding the row's cells in these columns; every row is tested against
    // the bounds. The values of a batch of rows are read before any is acted
    // on, so that rows scattered over the table come from memory together
    // rather than one after another. It only reads (a cell never written
    // reads as 0), so that two threads may call it at once.
    template <std::size_t N, typename Act>
    void ForEachRow(std::span<const std::int32_t> rows, const std::array<std::int32_t, N>& columns,
                    Act act) const {
        if (rows.empty()) {
            return;
        }
        for (const std::int32_t column : columns) {
            IndexOf(rows.front(), column);
        }
        constexpr std::size_t Batch = 32;
        std::array<std::array<std::int32_t, N>, Batch> values;
        const std::int32_t* cells = cells_.get();
        const std::size_t filled = filled_;
        for (std::size_t begin = 0; begin < rows.size(); begin += Batch) {
            const std::size_t count = std::min(Batch, rows.size() - begin);
            // The next batch's rows come from memory while this one is acted on.
            for (std::size_t i = begin + count; i < std::min(begin + 2 * Batch, rows.size()); ++i) {
                PrefetchRow(rows[i], cells, filled);
            }
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t first = IndexOf(rows[begin + i], 0);
                for (std::size_t k = 0; k < N; ++k) {
                    const std::size_t index = first + static_cast<std::size_t>(columns[k]);
                    values[i][k] = index < filled ? cells[index] : 0;
                }
            }
            for (std::size_t i = 0; i < count; ++i) {
                act(rows[begin + i], values[i]);
            }
        }
    }

    // Direct row-major access for bulk work. Materialises every row first.
    std::int32_t* Data();
    // The same for a caller that writes every cell before anything reads
    // one: the cells not yet written are not zeroed first.
    std::int32_t* DataToOverwrite();

private:
    std::size_t IndexOf(std::int32_t row, std::int32_t column) const {
        if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
            RaiseOutOfBounds(row, column);
        }
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(column);
    }
    void PrefetchRow(std::int32_t row, const std::int32_t* cells, std::size_t filled) const {
        if (row >= 0 && row < rows_) {
            const std::size_t first =
                static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_);
            if (first < filled) {
                Prefetch(cells + first);
            }
        }
    }
    [[noreturn]] void RaiseOutOfBounds(std::int32_t row, std::int32_t column) const;
    std::size_t Total() const {
        return static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    }
    // Makes the cells from `first` up to `end` writable, and every cell
    // before them readable.
    void PrepareToWrite(std::size_t first, std::size_t end) {
        if (first == filled_ && end <= capacity_) {
            filled_ = end; // filling row by row: nothing before it to zero
        } else if (end > filled_) {
            FillTo(end);
        }
    }
    // Zeroes the cells from filled_ up to `count`, growing the block first.
    void FillTo(std::size_t count);
    // Room for `count` cells at least; doubling keeps row-by-row filling
    // linear, and the block never grows past the table.
    void GrowTo(std::size_t count);
    void Reallocate(std::size_t capacity);

    struct FreeCells {
        void operator()(std::int32_t* cells) const { std::free(cells); }
    };
    std::int32_t rows_ = 0;
    std::int32_t columns_ = 0;
    // A malloc'd block that grows by realloc: a large block then moves by
    // remapping its pages instead of copying them, and the old and the new
    // block are never held at once. Cells from filled_ on are not in use.
    std::unique_ptr<std::int32_t[], FreeCells> cells_;
    std::size_t filled_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace platform
