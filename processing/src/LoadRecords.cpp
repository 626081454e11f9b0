#include "modQuorvale.h"
#include "platform/Checked.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>

namespace modQuorvale {

// A record's fields stand in the file in the order of the table's columns,
// and Status, which the file does not hold, comes last.
static_assert(Value1 == 0 && Value2 == 1 && GroupKey == 2 && Spare == 3 &&
              Status == FieldCount - 1);

void LoadRecords() {
    platform::OpenForInput(DataFileName, DataFileNumber);
    RecordCount = platform::InputValue(DataFileNumber);
    const std::string& path = platform::FilePath(DataFileNumber);
    const std::int32_t lastPosition = platform::CheckedSub(
        RecordCount, 1, path + ": record count " + std::to_string(RecordCount));
    if (RecordCount < 0) {
        platform::Raise(path + ": the record count " + std::to_string(RecordCount) +
                        " is negative");
    }
    platform::ExpectValues(DataFileNumber, 1 + std::int64_t{FieldCount - 1} * RecordCount);
    const platform::Building building("loading " + std::to_string(RecordCount) + " records");

    RecordTable.Create(RecordCount, FieldCount);
    // A value takes two bytes at least, a digit and a separator, so a file
    // holds so many rows at most: the table takes them in one block.
    const std::int64_t mostRows =
        platform::FileSize(DataFileNumber) / (2 * std::int64_t{FieldCount - 1});
    RecordTable.Reserve(static_cast<std::int32_t>(std::min<std::int64_t>(RecordCount, mostRows)));
    std::array<std::int32_t, FieldCount> row{};
    row[Status] = StatusFree;
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        platform::InputValues(DataFileNumber, std::span(row).first(FieldCount - 1));
        RecordTable.SetRow(p, row);
    }
    platform::CloseFile(DataFileNumber);
}

} // namespace modQuorvale
