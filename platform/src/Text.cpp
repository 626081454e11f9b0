#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace platform {

void AppendDecimal(std::string& out, std::int32_t value) {
    char digits[12];
    out.append(digits, WriteDecimal(digits, value));
}

void AppendPadded(std::string& out, std::int32_t value, int minDigits) {
    const std::size_t at = out.size();
    out.resize(at + 12 + static_cast<std::size_t>(std::max(minDigits, 0)));
    const char* end = WritePadded(out.data() + at, value, minDigits);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string ToDecimal(std::int32_t value) {
    std::string text;
    AppendDecimal(text, value);
    return text;
}

std::string FormatNumber(std::int32_t value, std::string_view pattern) {
    std::string text;
    AppendPadded(text, value, static_cast<int>(pattern.size()));
    return text;
}

} // namespace platform
