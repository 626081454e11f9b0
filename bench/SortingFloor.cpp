// The floor that also sorts: what Floor.cpp does, plus the one reordering
// every correct run must make. The table is put in order of Value2 by a
// counting sort that moves whole rows into a second table, and then every
// record line is printed twice. A run cannot skip that gather of the table:
// the lists show the records in sorted order, so this is the fair limit.
//
// Usage: quorvale_sorting_floor FILE > OUTPUT

#include "FloorParts.h"

#include <array>

namespace {

using Row = std::array<std::int32_t, 4>;

// Stable by Value2; a counting sort when Value2 spans no more values than
// there are rows, as in real files, and a stable merge sort otherwise.
std::vector<Row> SortByValue2(const std::int32_t* values, std::size_t records) {
    std::vector<Row> sorted(records);
    if (records == 0) {
        return sorted;
    }
    std::int64_t low = values[1];
    std::int64_t high = values[1];
    for (std::size_t p = 0; p < records; ++p) {
        low = std::min<std::int64_t>(low, values[4 * p + 1]);
        high = std::max<std::int64_t>(high, values[4 * p + 1]);
    }
    const auto rowAt = [&](std::size_t p) {
        Row row;
        std::memcpy(row.data(), values + 4 * p, sizeof row);
        return row;
    };
    if (static_cast<std::uint64_t>(high - low) >= records) {
        for (std::size_t p = 0; p < records; ++p) {
            sorted[p] = rowAt(p);
        }
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Row& a, const Row& b) { return a[1] < b[1]; });
        return sorted;
    }
    std::vector<std::size_t> start(static_cast<std::size_t>(high - low) + 2);
    for (std::size_t p = 0; p < records; ++p) {
        ++start[static_cast<std::size_t>(values[4 * p + 1] - low) + 1];
    }
    for (std::size_t v = 1; v < start.size(); ++v) {
        start[v] += start[v - 1];
    }
    for (std::size_t p = 0; p < records; ++p) {
        sorted[start[static_cast<std::size_t>(values[4 * p + 1] - low)]++] = rowAt(p);
    }
    return sorted;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::int32_t> values =
        floorparts::ValuesOfArgument(argc, argv, "quorvale_sorting_floor");
    const std::size_t records = floorparts::RecordsIn(values);
    const std::vector<Row> sorted = SortByValue2(values.data() + 1, records);
    floorparts::PrintTwice(sorted.empty() ? nullptr : sorted.front().data(), records);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
