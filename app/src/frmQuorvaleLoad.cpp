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

// Each output list's lines, as OutputListLine tells them.
void FillOutput(platform::ListBox& list) {
    // A heading, the records and a blank line for each list.
    const auto lists = static_cast<std::size_t>(OutputLists->Count());
    list.Reserve(lists * OutputListLines);
    std::string heading;
    for (std::int32_t k = 1; k <= OutputLists->Count(); ++k) {
        const PositionList& output = OutputLists->Item(k);
        for (std::int32_t i = 0; i < OutputListLines; ++i) {
            const OutputLine line = OutputListLine(k, i);
            switch (line.part) {
            case OutputLine::Part::Heading:
                heading = OutputHeading;
                platform::AppendDecimal(heading, k);
                list.AddItem(heading);
                break;
            case OutputLine::Part::Record:
                AddRecordLine(list, output.Item(line.record));
                break;
            case OutputLine::Part::Blank:
                list.AddItem(" ");
                break;
            }
        }
    }
}

using platform::ListBox;

// The list box that shows each kind of place.
const char* ListShowing(PlaceKind kind) {
    switch (kind) {
    case PlaceKind::Input:
        return "lstInput";
    case PlaceKind::Output:
        return "lstOutput";
    case PlaceKind::NotPlaced:
        return "lstNotPlaced";
    case PlaceKind::Rejected:
        return "lstErrors";
    }
    return nullptr;
}

// lstInput's line i shows the record at position i.
ListBox::LineInList FollowFromInput(std::int32_t index) {
    const RecordPlace place = PlaceOf(index);
    return {ListShowing(place.kind), place.line};
}

// Back to the record's input line; headings and blank lines lead nowhere.
template <PlaceKind Kind> ListBox::LineInList FollowToInput(std::int32_t index) {
    const std::int32_t position = PositionOnLine(Kind, index);
    return position >= 0 ? ListBox::LineInList{ListShowing(PlaceKind::Input), position}
                         : ListBox::LineInList{nullptr, -1};
}

template <PlaceKind Kind> std::int32_t FindPosition(std::int32_t position) {
    return LineOfPosition(Kind, position);
}

template <PlaceKind Kind> std::string Counts() {
    return DescribeCounts(Kind);
}

template <PlaceKind Kind> void UseNavigation(platform::Form& form, ListBox::FollowWriter follow) {
    form.ListBoxNamed(ListShowing(Kind)).UseNavigation(follow, FindPosition<Kind>, Counts<Kind>);
}

// Where Enter and typed positions lead, and the counts: all worked out
// only when a key or the window asks.
void UseNavigation(platform::Form& form) {
    UseNavigation<PlaceKind::Input>(form, FollowFromInput);
    UseNavigation<PlaceKind::Output>(form, FollowToInput<PlaceKind::Output>);
    UseNavigation<PlaceKind::NotPlaced>(form, FollowToInput<PlaceKind::NotPlaced>);
    UseNavigation<PlaceKind::Rejected>(form, FollowToInput<PlaceKind::Rejected>);
}

} // namespace

void ResetForm() {
    ResetModule();
    RecordPlaces = {};
}

void Form_Load(platform::Form& form) {
    RecordPlaces = {}; // found again, on demand, for this run
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
        form.ListBoxNamed("lstNotPlaced").UseTips(DescribeNotPlaced);
        form.ListBoxNamed("lstErrors").UseTips(DescribeRejection);
        UseNavigation(form);
    }
}

} // namespace frmQuorvale
