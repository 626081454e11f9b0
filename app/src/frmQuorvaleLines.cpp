#include "frmQuorvale.h"
#include "modQuorvale.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>

// The text of a record line: the one place that knows its format.

namespace frmQuorvale {

using namespace modQuorvale;

namespace {

// The fields that a line shows, in the order it shows them.
constexpr std::array ShownColumns{Value1, Value2, GroupKey};
using ShownFields = std::array<std::int32_t, ShownColumns.size()>;

// The longest line: a ten-digit position and three fields of eleven
// characters, with the brackets, blanks, hyphens and line feed.
constexpr std::size_t LongestLine = 1 + 10 + 4 + 3 * 11 + 2 + 1;
static_assert(LongestLine <= platform::ListBox::RecordLineCapacity);

// "[00042]": the position padded to five digits.
char* WriteRecordName(char* out, std::int32_t position) {
    *out++ = '[';
    out = platform::WritePadded(out, position, 5);
    *out++ = ']';
    return out;
}

// "[00042]   12-3-7" and a line feed.
char* WriteLine(char* out, std::int32_t position, const ShownFields& fields) {
    out = WriteRecordName(out, position);
    out = std::copy_n("   ", 3, out);
    out = platform::WriteDecimal(out, fields[0]);
    *out++ = '-';
    out = platform::WriteDecimal(out, fields[1]);
    *out++ = '-';
    out = platform::WriteDecimal(out, fields[2]);
    *out++ = '\n';
    return out;
}

} // namespace

char* WriteRecordLines(char* out, std::span<const std::int32_t> positions) {
    RecordTable.ForEachRow(positions, ShownColumns,
                           [&](std::int32_t position, const ShownFields& fields) {
                               out = WriteLine(out, position, fields);
                           });
    return out;
}

std::string RecordName(std::int32_t position) {
    char name[LongestLine];
    return std::string(name, WriteRecordName(name, position));
}

std::string FormatRecordLine(std::int32_t position) {
    platform::ListBox::LineBuffer line;
    char* end = WriteRecordLines(line.data(), {&position, 1});
    return std::string(line.data(), end - 1); // without the line feed
}

} // namespace frmQuorvale
