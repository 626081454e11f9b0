#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Text.h"

#include <algorithm>
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
    out = std::copy_n("]   ", 4, out);
    out = platform::WriteDecimal(out, value1);
    *out++ = '-';
    out = platform::WriteDecimal(out, value2);
    *out++ = '-';
    return platform::WriteDecimal(out, groupKey);
}

// Typical line length, to size the list buffers once.
constexpr std::size_t TypicalLineLength = 24;

class LineWriter {
public:
    explicit LineWriter(platform::ListBox& list, std::size_t expectedLines) : list_(list) {
        list_.Reserve(expectedLines, expectedLines * TypicalLineLength);
    }
    void AddRecord(std::int32_t position) {
        char line[LongestLine];
        const char* end = WriteRecordLine(line, position);
        list_.AddItem(std::string_view(line, static_cast<std::size_t>(end - line)));
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

void FillPositions(platform::ListBox& list, const PositionList& positions) {
    LineWriter writer(list, positions.Items().size());
    for (const std::int32_t position : positions.Items()) {
        writer.AddRecord(position);
    }
}

void FillInput(platform::ListBox& list) {
    LineWriter writer(list, static_cast<std::size_t>(std::max(RecordCount, 0)));
    const std::int32_t lastPosition = RecordCount - 1;
    for (std::int32_t p = 0; p <= lastPosition; ++p) {
        writer.AddRecord(p);
    }
}

void FillOutput(platform::ListBox& list) {
    const std::int32_t count = OutputLists->Count();
    LineWriter writer(list, static_cast<std::size_t>(count) * (ListSize + 2));
    std::string header;
    for (std::int32_t k = 1; k <= count; ++k) {
        header = "Output List ";
        platform::AppendDecimal(header, k);
        writer.AddText(header);
        for (const std::int32_t position : OutputLists->Item(k).Items()) {
            writer.AddRecord(position);
        }
        writer.AddText(" ");
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
