#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Text.h"

#include <cstring>
#include <string>

namespace frmQuorvale {

using namespace modQuorvale;

namespace {

// Room for the longest line: ten-digit position and three fields of eleven
// characters, with the brackets, blanks and hyphens.
constexpr std::size_t LongestLine = 1 + 10 + 4 + 3 * 11 + 2;
static_assert(LongestLine <= platform::ListBox::RecordLineCapacity);

// FormatRecordLine into a buffer of LongestLine characters; returns its end.
char* WriteRecordLine(char* line, std::int32_t position) {
    char* out = line;
    *out++ = '[';
    out = platform::WritePadded(out, position, 5);
    std::memcpy(out, "]   ", 4);
    out += 4;
    out = platform::WriteDecimal(out, RecordTable.Get(position, Value1));
    *out++ = '-';
    out = platform::WriteDecimal(out, RecordTable.Get(position, Value2));
    *out++ = '-';
    return platform::WriteDecimal(out, RecordTable.Get(position, GroupKey));
}

// A record's line, checked when it is added: a position outside the table
// fails during the load, before any window.
void AddRecordLine(platform::ListBox& list, std::int32_t position) {
    RecordTable.CheckRow(position);
    list.AddRecordLine(position);
}

platform::ListBox& RecordList(platform::Form& form, std::string_view name) {
    platform::ListBox& list = form.ListBoxNamed(name);
    list.UseRecordLines(WriteRecordLine);
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
