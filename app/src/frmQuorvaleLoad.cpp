#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Text.h"

namespace frmQuorvale {

using namespace modQuorvale;

std::string FormatRecordLine(std::int32_t position) {
    // Read first: an invalid position fails before any text is built.
    const std::int32_t value1 = RecordTable.Get(position, Value1);
    const std::int32_t value2 = RecordTable.Get(position, Value2);
    const std::int32_t groupKey = RecordTable.Get(position, GroupKey);
    std::string line;
    line.reserve(48);
    line += '[';
    platform::AppendPadded(line, position, 5);
    line += "]   ";
    platform::AppendDecimal(line, value1);
    line += '-';
    platform::AppendDecimal(line, value2);
    line += '-';
    platform::AppendDecimal(line, groupKey);
    return line;
}

namespace {

void FillPositions(platform::ListBox& list, const PositionList& positions) {
    const std::int32_t count = positions.Count();
    for (std::int32_t i = 1; i <= count; ++i) {
        list.AddItem(FormatRecordLine(positions.Item(i)));
    }
}

void FillInput(platform::ListBox& list) {
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        list.AddItem(FormatRecordLine(p));
    }
}

void FillOutput(platform::ListBox& list) {
    const std::int32_t count = OutputLists->Count();
    for (std::int32_t k = 1; k <= count; ++k) {
        list.AddItem("Output List " + platform::ToDecimal(k));
        FillPositions(list, OutputLists->Item(k));
        list.AddItem(" ");
    }
}

} // namespace

void Form_Load(platform::Form& form) {
    LoadRecords();
    ValidateAndSort();
    BuildGroups();
    PairGroups();
    FillLists(form);
}

void FillLists(platform::Form& form) {
    FillInput(form.ListBoxNamed("lstInput"));
    FillOutput(form.ListBoxNamed("lstOutput"));
    FillPositions(form.ListBoxNamed("lstNotPlaced"), *NotPlacedList);
    FillPositions(form.ListBoxNamed("lstErrors"), *RejectedList);
}

} // namespace frmQuorvale
