#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace platform {

void AppendDecimal(std::string& out, std::int32_t value) {
    char digits[12];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendPadded(std::string& out, std::int32_t value, int minDigits) {
    char digits[12];
    if (value < 0) {
        out.push_back('-');
    }
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    const auto length = static_cast<int>(result.ptr - digits);
    if (length < minDigits) {
        out.append(static_cast<std::size_t>(minDigits - length), '0');
    }
    out.append(digits, result.ptr);
}

char* WriteDecimal(char* out, std::int32_t value) {
    return std::to_chars(out, out + 12, value).ptr;
}

char* WritePadded(char* out, std::int32_t value, int minDigits) {
    if (value < 0) {
        *out++ = '-';
    }
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[12];
    const auto result = std::to_chars(digits, digits + sizeof digits, magnitude);
    const auto length = static_cast<int>(result.ptr - digits);
    for (int i = length; i < minDigits; ++i) {
        *out++ = '0';
    }
    return std::copy(digits, result.ptr, out);
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
