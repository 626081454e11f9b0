#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Text.h"

#include <string>

namespace frmQuorvale {

using namespace modQuorvale;

namespace {

// A record's line, checked when it is added: a position outside the table
// fails during the load, before any window.
void AddRecordLine(platform::ListBox& list, std::int32_t position) {
    RecordTable.CheckRow(position);
    list.AddRecordLine(position);
}

void FillPositions(platform::ListBox& list, const PositionList& positions) {
    list.Reserve(static_cast<std::size_t>(positions.Count()));
    for (const std::int32_t position : positions.Items()) {
        AddRecordLine(list, position);
    }
}

void FillInput(platform::ListBox& list) {
    list.Reserve(static_cast<std::size_t>(RecordCount));
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        AddRecordLine(list, p);
    }
}

constexpr std::string_view OutputHeading = "Output List ";

// Each output list under its number, then a blank line.
void FillOutput(platform::ListBox& list) {
    // A heading and a blank line around each list's records.
    const auto lists = static_cast<std::size_t>(OutputLists->Count());
    list.Reserve(lists * (ListSize + 2));
    std::string heading;
    for (std::int32_t k = 1; k <= OutputLists->Count(); ++k) {
        heading = OutputHeading;
        platform::AppendDecimal(heading, k);
        list.AddItem(heading);
        FillPositions(list, OutputLists->Item(k));
        list.AddItem(" ");
    }
}

// The tips of lstNotPlaced and lstErrors, by 0-based index: why each record is there.
std::string NotPlacedTip(std::int32_t index) {
    return DescribeNotPlaced(index + 1);
}

std::string ErrorTip(std::int32_t index) {
    return DescribeRejection(index + 1);
}

} // namespace

void Form_Load(platform::Form& form) {
    // Reasons cost a little; they are kept only where they will be shown.
    KeepReasons = form.ShowsTips();
    LoadRecords();
    ValidateAndSort();
    BuildGroups();
    PairGroups();
    // Every list shows its record lines as FormatRecordLine writes them.
    form.UseRecordLines(WriteRecordLines);
    FillInput(form.ListBoxNamed("lstInput"));
    FillOutput(form.ListBoxNamed("lstOutput"));
    FillPositions(form.ListBoxNamed("lstNotPlaced"), *NotPlacedList);
    FillPositions(form.ListBoxNamed("lstErrors"), *RejectedList);
    if (form.ShowsTips()) {
        // Fates are the window's; text mode writes only the reasons.
        using platform::ListBox;
        form.ListBoxNamed("lstInput").UseTips(DescribeInput, ListBox::TipsInText::Left);
        form.ListBoxNamed("lstOutput").UseTips(DescribeOutput, ListBox::TipsInText::Left);
        form.ListBoxNamed("lstNotPlaced").UseTips(NotPlacedTip);
        form.ListBoxNamed("lstErrors").UseTips(ErrorTip);
    }
}

} // namespace frmQuorvale
