#include "modQuorvale.h"
#include "platform/Checked.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <string>

namespace modQuorvale {

namespace {

std::int32_t InputField() {
    return platform::InputValue(DataFileNumber);
}

} // namespace

void LoadRecords() {
    platform::OpenForInput(DataFileName, DataFileNumber);
    RecordCount = InputField();
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
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        RecordTable.Set(p, Value1, InputField());
        RecordTable.Set(p, Value2, InputField());
        RecordTable.Set(p, GroupKey, InputField());
        RecordTable.Set(p, Spare, InputField());
        RecordTable.Set(p, Status, StatusFree);
    }
    platform::CloseFile(DataFileNumber);
}

} // namespace modQuorvale
