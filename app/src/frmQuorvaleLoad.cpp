#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Concurrent.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace frmQuorvale {

using namespace modQuorvale;

namespace {

// Room for the longest line: ten-digit position and three fields of eleven
// characters, with the brackets, blanks and hyphens.
constexpr std::size_t LongestLine = 1 + 10 + 4 + 3 * 11 + 2;

// FormatRecordLine into a buffer of LongestLine characters; returns its end.
char* WriteRecordLine(char* line, std::int32_t position) {
    // Read first: an invalid position fails before any text is built.
    const std::int32_t value1 = RecordTable.Get(position, Value1);
    const std::int32_t value2 = RecordTable.Get(position, Value2);
    const std::int32_t groupKey = RecordTable.Get(position, GroupKey);
    char* out = line;
    *out++ = '[';
    out = platform::WritePadded(out, position, 5);
    std::memcpy(out, "]   ", 4);
    out += 4;
    out = platform::WriteDecimal(out, value1);
    *out++ = '-';
    out = platform::WriteDecimal(out, value2);
    *out++ = '-';
    return platform::WriteDecimal(out, groupKey);
}

// About how long a record line is, to size a list's buffer once: the
// position's digits plus the brackets, blanks and typical fields.
std::size_t TypicalLineLength() {
    std::size_t positionDigits = 5;
    for (std::int64_t limit = 100000; limit < RecordCount; limit *= 10) {
        ++positionDigits;
    }
    return positionDigits + 18;
}

class LineWriter {
public:
    explicit LineWriter(platform::ListBox& list, std::size_t expectedLines) : list_(list) {
        list_.Reserve(expectedLines, expectedLines * TypicalLineLength());
    }
    void AddRecord(std::int32_t position) {
        list_.AddItemWritten(LongestLine,
                             [position](char* line) { return WriteRecordLine(line, position); });
    }
    void AddText(std::string_view text) { list_.AddItem(text); }

private:
    platform::ListBox& list_;
};

} // namespace

std::string FormatRecordLine(std::int32_t position) {
    char line[LongestLine];
    const char* end = WriteRecordLine(line, position);
    return std::string(line, static_cast<std::size_t>(end - line));
}

namespace {

// Output and rejected records lie scattered over the table: asking for
// rows this many records ahead keeps the fill from waiting on each one.
constexpr std::size_t PrefetchDistance = 16;
// Output lists are fetched in two steps: a list's positions, then its rows.
constexpr std::int32_t PrefetchListsPositions = 8;
constexpr std::int32_t PrefetchListsRows = 4;

void PrefetchOutputList(std::int32_t k, std::int32_t count) {
    if (k + PrefetchListsPositions <= count) {
        platform::Prefetch(OutputLists->Item(k + PrefetchListsPositions).Items().data());
    }
    if (k + PrefetchListsRows <= count) {
        for (const std::int32_t position : OutputLists->Item(k + PrefetchListsRows).Items()) {
            RecordTable.PrefetchRow(position);
        }
    }
}

void FillPositions(platform::ListBox& list, const PositionList& positions) {
    const std::vector<std::int32_t>& items = positions.Items();
    LineWriter writer(list, items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i + PrefetchDistance < items.size()) {
            RecordTable.PrefetchRow(items[i + PrefetchDistance]);
        }
        writer.AddRecord(items[i]);
    }
}

void FillInput(platform::ListBox& list) {
    LineWriter writer(list, static_cast<std::size_t>(std::max(RecordCount, 0)));
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        writer.AddRecord(p);
    }
}

// Output lists first to last, numbered from 1 in OutputLists.
void FillOutput(platform::ListBox& list, std::int32_t first, std::int32_t last) {
    const std::int32_t count = OutputLists->Count();
    LineWriter writer(list,
                      static_cast<std::size_t>(std::max(last - first + 1, 0)) * (ListSize + 2));
    std::string header;
    for (std::int32_t k = first; k <= last; ++k) {
        PrefetchOutputList(k, count);
        header = "Output List ";
        platform::AppendDecimal(header, k);
        writer.AddText(header);
        for (const std::int32_t position : OutputLists->Item(k).Items()) {
            writer.AddRecord(position);
        }
        writer.AddText(" ");
    }
}

void FillOutput(platform::ListBox& list) {
    FillOutput(list, 1, OutputLists->Count());
}

} // namespace

namespace {

// From this many records on, the load spreads its work over two threads.
constexpr std::int32_t ParallelRecords = 4096;

// lstInput and lstErrors show only what validation settles: the rows' shown
// fields and RejectedList. Pairing changes neither, so on a large table
// those two lists fill meanwhile. (Grouping uses both cores itself.)
void PairBesideInputAndErrors(platform::Form& form, bool parallel) {
    platform::ListBox& input = form.ListBoxNamed("lstInput");
    platform::ListBox& errors = form.ListBoxNamed("lstErrors");
    platform::RunAlongside(parallel, PairGroups, [&] {
        FillInput(input);
        FillPositions(errors, *RejectedList);
    });
}

// The later half of the output lists and lstNotPlaced beside the earlier
// half, which then takes the later one on.
void FillOutputAndNotPlaced(platform::Form& form, bool parallel) {
    platform::ListBox& output = form.ListBoxNamed("lstOutput");
    platform::ListBox& notPlaced = form.ListBoxNamed("lstNotPlaced");
    const std::int32_t outputs = OutputLists->Count();
    const std::int32_t half = outputs / 2;
    // Room for both halves at once, so that appending copies only the later.
    const auto outputLines = static_cast<std::size_t>(outputs) * (ListSize + 2);
    output.Reserve(outputLines, outputLines * TypicalLineLength());
    platform::ListBox laterOutput;
    platform::RunAlongside(
        parallel, [&] { FillOutput(output, 1, half); },
        [&] {
            FillOutput(laterOutput, half + 1, outputs);
            FillPositions(notPlaced, *NotPlacedList);
        });
    output.AddItems(laterOutput);
}

} // namespace

void Form_Load(platform::Form& form) {
    LoadRecords();
    ValidateAndSort();
    BuildGroups();
    const bool parallel = RecordCount >= ParallelRecords;
    PairBesideInputAndErrors(form, parallel);
    FillOutputAndNotPlaced(form, parallel);
}

void FillLists(platform::Form& form) {
    FillInput(form.ListBoxNamed("lstInput"));
    FillOutput(form.ListBoxNamed("lstOutput"));
    FillPositions(form.ListBoxNamed("lstNotPlaced"), *NotPlacedList);
    FillPositions(form.ListBoxNamed("lstErrors"), *RejectedList);
}

} // namespace frmQuorvale
