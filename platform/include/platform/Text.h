#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Plain decimal: no leading zeros, '-' for negatives, nothing else.
std::string ToDecimal(std::int32_t value);

// Formats with a digit pattern of zeros ("00000"): at least as many digits as
// the pattern has, more if the number needs them; a negative number keeps
// its sign in front of the padded digits.
std::string FormatNumber(std::int32_t value, std::string_view pattern);

// Appends the same texts to an existing buffer, for hot paths.
void AppendDecimal(std::string& out, std::int32_t value);
void AppendPadded(std::string& out, std::int32_t value, int minDigits);

// The same into a character buffer with room for at least 12 + minDigits
// characters; return the end of what was written. Inline: list filling
// calls them millions of times.
inline char* WriteDecimal(char* out, std::int32_t value) {
    return std::to_chars(out, out + 12, value).ptr;
}

inline char* WritePadded(char* out, std::int32_t value, int minDigits) {
    if (value < 0) {
        *out++ = '-';
    }
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    int length = 1;
    for (std::uint64_t limit = 10; length < 10 && magnitude >= limit; limit *= 10) {
        ++length;
    }
    for (int i = length; i < minDigits; ++i) {
        *out++ = '0';
    }
    // Digits straight into place: a copy from a scratch buffer is a call.
    return std::to_chars(out, out + length, magnitude).ptr;
}

} // namespace platform
