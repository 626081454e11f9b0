#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>
#include <utility>

namespace frmQuorvale {

using namespace modQuorvale;

namespace {

// Room for the longest line: ten-digit position and three fields of eleven
// characters, with the brackets, blanks and hyphens.
constexpr std::size_t LongestLine = 1 + 10 + 4 + 3 * 11 + 2;
static_assert(LongestLine <= platform::ListBox::RecordLineCapacity);

// The three shown fields of a record.
struct ShownFields {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t groupKey;
};

// Reads the shown fields of records with one bound test each, straight from
// the table's rows.
class ShownRows {
public:
    ShownRows()
        : cells_(std::as_const(RecordTable).Data()),
          columns_(static_cast<std::size_t>(RecordTable.Columns())) {
        if (columns_ <= static_cast<std::size_t>(GroupKey)) {
            RecordTable.Get(0, GroupKey); // raises, as reading the field would
        }
    }
    ShownFields operator()(std::int32_t position) const {
        RecordTable.CheckRow(position);
        const std::int32_t* row = cells_ + static_cast<std::size_t>(position) * columns_;
        return {row[Value1], row[Value2], row[GroupKey]};
    }

private:
    const std::int32_t* cells_;
    std::size_t columns_;
};

char* WriteLine(char* out, std::int32_t position, const ShownFields& fields) {
    *out++ = '[';
    out = platform::WritePadded(out, position, 5);
    std::memcpy(out, "]   ", 4);
    out += 4;
    out = platform::WriteDecimal(out, fields.value1);
    *out++ = '-';
    out = platform::WriteDecimal(out, fields.value2);
    *out++ = '-';
    return platform::WriteDecimal(out, fields.groupKey);
}

// FormatRecordLine into a buffer of LongestLine characters; returns its end.
char* WriteRecordLine(char* line, std::int32_t position) {
    return WriteLine(line, position, ShownRows()(position));
}

// Acts on each record with its fields. The records of the output lists lie
// scattered over the table: reading a batch of rows, each with one bound
// test, before acting on any lets the rows be fetched together rather than
// one after another.
template <typename Act> void ForEachShown(std::span<const std::int32_t> positions, Act act) {
    constexpr std::size_t ReadAhead = 32;
    std::array<ShownFields, ReadAhead> fields;
    const ShownRows fieldsOf;
    for (std::size_t begin = 0; begin < positions.size(); begin += ReadAhead) {
        const std::size_t count = std::min(ReadAhead, positions.size() - begin);
        for (std::size_t i = 0; i < count; ++i) {
            fields[i] = fieldsOf(positions[begin + i]);
        }
        for (std::size_t i = 0; i < count; ++i) {
            act(begin + i, fields[i]);
        }
    }
}

// Many lines, each ended by a line feed.
char* WriteRecordLines(char* out, std::span<const std::int32_t> positions) {
    ForEachShown(positions, [&](std::size_t i, const ShownFields& fields) {
        out = WriteLine(out, positions[i], fields);
        *out++ = '\n';
    });
    return out;
}

// What WriteLine would write, counted without writing it.
std::size_t LineLength(std::int32_t position, const ShownFields& fields) {
    return 1 + platform::PaddedLength(position, 5) + 4 + platform::DecimalLength(fields.value1) +
           1 + platform::DecimalLength(fields.value2) + 1 +
           platform::DecimalLength(fields.groupKey);
}

void MeasureRecordLines(std::span<const std::int32_t> positions, std::size_t* lengths) {
    ForEachShown(positions, [&](std::size_t i, const ShownFields& fields) {
        lengths[i] = LineLength(positions[i], fields);
    });
}

// A record's line, checked when it is added: a position outside the table
// fails during the load, before any window.
void AddRecordLine(platform::ListBox& list, std::int32_t position) {
    RecordTable.CheckRow(position);
    list.AddRecordLine(position);
}

platform::ListBox& RecordList(platform::Form& form, std::string_view name) {
    platform::ListBox& list = form.ListBoxNamed(name);
    list.UseRecordLines(WriteRecordLine, WriteRecordLines, MeasureRecordLines);
    return list;
}

void FillPositions(platform::ListBox& list, const PositionList& positions) {
    for (const std::int32_t position : positions.Items()) {
        AddRecordLine(list, position);
    }
}

void FillInput(platform::ListBox& list) {
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        AddRecordLine(list, p);
    }
}

// Each output list under its number, then a blank line.
void FillOutput(platform::ListBox& list) {
    std::string heading;
    for (std::int32_t k = 1; k <= OutputLists->Count(); ++k) {
        heading = "Output List ";
        platform::AppendDecimal(heading, k);
        list.AddItem(heading);
        FillPositions(list, OutputLists->Item(k));
        list.AddItem(" ");
    }
}

// The tips of lstNotPlaced and lstErrors: why each record is there.
std::string NotPlacedTip(std::int32_t index) {
    return DescribeNotPlaced(index + 1);
}

std::string ErrorTip(std::int32_t index) {
    return DescribeRejection(index + 1);
}

} // namespace

std::string FormatRecordLine(std::int32_t position) {
    RecordTable.CheckRow(position);
    char line[LongestLine];
    const char* end = WriteRecordLine(line, position);
    return std::string(line, static_cast<std::size_t>(end - line));
}

void Form_Load(platform::Form& form) {
    // Reasons cost a little; they are kept only where they will be shown.
    KeepReasons = form.ShowsTips();
    LoadRecords();
    ValidateAndSort();
    BuildGroups();
    PairGroups();
    FillInput(RecordList(form, "lstInput"));
    FillOutput(RecordList(form, "lstOutput"));
    FillPositions(RecordList(form, "lstNotPlaced"), *NotPlacedList);
    FillPositions(RecordList(form, "lstErrors"), *RejectedList);
    if (form.ShowsTips()) {
        form.ListBoxNamed("lstNotPlaced").UseTips(NotPlacedTip);
        form.ListBoxNamed("lstErrors").UseTips(ErrorTip);
    }
}

} // namespace frmQuorvale
