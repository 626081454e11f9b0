#pragma once

// The program's one window: its layout as data, its load handler, which runs
// the whole processing, and the text of a record line.

#include "modQuorvale.h"
#include "platform/ProjectDescription.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace frmQuorvale {

platform::FormDescription Layout();

// Runs the four stages, then fills lstInput, lstOutput, lstNotPlaced and
// lstErrors. The lists keep record lines by position; their text is made
// when a list is shown or printed. If the form shows tips, the stages keep
// their reasons, and every record line tells its record's fate as its tip.
// Begins by forgetting the last run's RecordPlaces.
void Form_Load(platform::Form& form);

// The form's own state beside the module's: where each record ended, by
// position: its 0-based place in the output lists' records one after
// another, then NotPlacedList, then RejectedList. Empty until the window
// first tells a record's fate (DescribeInput), which builds it.
extern std::vector<std::int32_t> RecordPlaces;

// Puts the module back as modQuorvale::ResetModule does, and the form's own
// state with it: as a fresh process has them. For tests and benchmarks that
// run the stages themselves and ask for fates.
void ResetForm();

// "[00042]   12-3-7": the position padded to five digits, then Value1,
// Value2 and GroupKey joined by hyphens.
std::string FormatRecordLine(std::int32_t position);
// "[00042]", as that line begins: how the reasons name a record.
std::string RecordName(std::int32_t position);
// The same for many records, each line followed by '\n', written at `out`
// as the lists make their lines; returns the end. Text mode calls it from
// two threads at once: it only reads the record table, which no longer
// changes, and every position was checked when its line was added.
char* WriteRecordLines(char* out, std::span<const std::int32_t> positions);

// How lstOutput shows the output lists, for its fill and its tips alike:
// each list takes OutputListLines lines, its heading ("Output List N"),
// then its OutputListRecords records in order, then a blank line.
inline constexpr std::int32_t OutputListRecords = modQuorvale::ListSize;
inline constexpr std::int32_t OutputListLines = 1 + OutputListRecords + 1;

struct OutputLine {
    enum class Part { Heading, Record, Blank };
    std::int32_t list; // 1-based, as OutputLists counts
    Part part;
    std::int32_t record; // on a record line its 1-based index in the list, else 0
};

// The line of a list at a 0-based index among its lines.
constexpr OutputLine OutputListLine(std::int32_t list, std::int32_t line) {
    if (line == 0) {
        return {list, OutputLine::Part::Heading, 0};
    }
    if (line <= OutputListRecords) {
        return {list, OutputLine::Part::Record, line};
    }
    return {list, OutputLine::Part::Blank, 0};
}

// The line at a 0-based index of lstOutput, not negative.
constexpr OutputLine OutputLineAt(std::int32_t index) {
    return OutputListLine(index / OutputListLines + 1, index % OutputListLines);
}

// The 0-based index in lstOutput of a list's record line (both 1-based):
// where OutputLineAt finds that record.
constexpr std::int32_t OutputRecordLine(std::int32_t list, std::int32_t record) {
    return (list - 1) * OutputListLines + record;
}
static_assert(OutputLineAt(OutputRecordLine(2, 3)).list == 2 &&
              OutputLineAt(OutputRecordLine(2, 3)).record == 3);

// The tips of the four lists, each by the 0-based index of a line of its
// list, as ListBox::UseTips takes them; "" for a line without one, or when
// the stages kept no reasons (KeepReasons was not set).
// lstErrors: why the record on that line was rejected.
std::string DescribeRejection(std::int32_t index);
// lstNotPlaced: why the record on that line was not placed.
std::string DescribeNotPlaced(std::int32_t index);
// lstInput, whose line i shows the record at position i: that record's
// fate, where in the output lists it went, or why it was not placed or
// rejected.
std::string DescribeInput(std::int32_t index);
// lstOutput: for a record line, the groups that made its output list; ""
// for a heading or a blank line.
std::string DescribeOutput(std::int32_t index);

// The four lists by what they hold, for finding a record's lines.
enum class PlaceKind { Input, Output, NotPlaced, Rejected };

// A record's line outside lstInput: its list and the 0-based index of the
// line there.
struct RecordPlace {
    PlaceKind kind;
    std::int32_t line;
};

// Where the record at this position (checked by the caller) is shown
// besides lstInput. Finds every record's place when first asked.
RecordPlace PlaceOf(std::int32_t position);
// The position of the record on a line of this list, or -1 for a heading,
// a blank line or no line.
std::int32_t PositionOnLine(PlaceKind kind, std::int32_t index);
// The line of this list that shows the record at `position`, or -1 when the
// list has none (or there is no such record).
std::int32_t LineOfPosition(PlaceKind kind, std::int32_t position);
// What the list holds, in counts: "46 records, 12 rejected", "6 output lists
// of 5 records: 3 full groups, 3 pairs", "4 records of 3 groups", "12
// records: 5 out of range, 7 for their key". The output and not-placed
// counts come from the reasons, which the stages keep for a window.
std::string DescribeCounts(PlaceKind kind);

} // namespace frmQuorvale

// What main hands to the start routine.
platform::ProjectDescription QuorvaleProject();
