#pragma once

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Numbers written into a character buffer with room for at least
// 12 + minDigits characters; each returns the end of what it wrote. Inline:
// record lines are made millions of times.

// Plain decimal: no leading zeros, '-' for negatives, nothing else.
inline char* WriteDecimal(char* out, std::int32_t value) {
    // Most fields are one or two digits: no length to work out.
    if (static_cast<std::uint32_t>(value) < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    if (static_cast<std::uint32_t>(value) < 100) {
        out[0] = static_cast<char>('0' + value / 10);
        out[1] = static_cast<char>('0' + value % 10);
        return out + 2;
    }
    return std::to_chars(out, out + 12, value).ptr;
}

inline constexpr std::uint32_t PowersOfTen[] = {1,      10,      100,      1000,      10000,
                                                100000, 1000000, 10000000, 100000000, 1000000000};

inline std::uint32_t Magnitude(std::int32_t value) {
    return value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
}

// Decimal digits in a number: from its bit length, then one comparison.
inline int DigitCount(std::uint32_t magnitude) {
    const auto guess = static_cast<int>((std::bit_width(magnitude | 1) * 1233) >> 12);
    return guess + ((magnitude | 1) >= PowersOfTen[guess] ? 1 : 0);
}

// At least minDigits digits, zeros in front, more if the number needs them;
// a negative number keeps its sign in front of the padded digits.
inline char* WritePadded(char* out, std::int32_t value, int minDigits) {
    if (value < 0) {
        *out++ = '-';
    }
    const std::uint32_t magnitude = Magnitude(value);
    // Most numbers need no zeros: their digits go straight into place.
    if (minDigits <= 1 || (minDigits <= 10 && magnitude >= PowersOfTen[minDigits - 1])) {
        return std::to_chars(out, out + 10, magnitude).ptr;
    }
    const int length = DigitCount(magnitude);
    for (int i = length; i < minDigits; ++i) {
        *out++ = '0';
    }
    // Digits straight into place: a copy from a scratch buffer is a call.
    return std::to_chars(out, out + length, magnitude).ptr;
}

// Plain decimal, appended to a string.
void AppendDecimal(std::string& out, std::int32_t value);

// A byte as a report shows one that it may not show as it is: \xNN, two
// capital hex digits.
void AppendHexEscape(std::string& out, unsigned char byte);

// Untrusted text (a file name, a token from a data file) as a report may show
// it: every byte of a control character (C0, DEL, C1), of a bidirectional
// formatting character, of invalid UTF-8, and every backslash becomes \xNN,
// so that nothing reaches a terminal as a command and no line can be forged.
// Other printable UTF-8 stays as it is.
std::string EscapeText(std::string_view text);

// A file name for a report: escaped, except that a backslash stays as it is
// unless an 'x' follows (Windows paths), and in double quotes (with \" for a
// quote inside) when it is empty, holds a quote, or starts or ends with a
// blank, so that where it ends is never in doubt.
std::string ShownName(std::string_view name);

} // namespace platform
