#pragma once

// Digits, separators and the 32-bit limit, shared by every way the reader
// takes a value.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace platform::digits {

inline bool IsDigit(char c) {
    return static_cast<unsigned char>(c - '0') <= 9;
}

inline constexpr int AtOnce = 8;

// How many of the eight characters at p are leading digits, and their value.
// One load and a few multiplications instead of a loop whose end the
// processor cannot foresee. Needs eight readable characters and a
// little-endian load, which gives the first character in its lowest byte.
inline int LeadingDigits(const char* p, std::uint64_t& value) {
    std::uint64_t chunk;
    std::memcpy(&chunk, p, sizeof chunk);
    // Digits become 0 to 9; any other byte has a value of 10 or more, which
    // sets its top bit once 0x76 is added (or is set already).
    const std::uint64_t x = chunk ^ 0x3030303030303030u;
    const std::uint64_t notDigit = ((x + 0x7676767676767676u) | x) & 0x8080808080808080u;
    const int count = std::countr_zero(notDigit) / 8;
    if (count == 0) {
        value = 0;
        return 0;
    }
    // The digits into the top bytes, then pairs, fours and eights combined,
    // first character most significant.
    std::uint64_t v = x << (8 * (AtOnce - count));
    v = (v * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
    v = ((v & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
    value = v;
    return count;
}

// Beyond every 32-bit magnitude: a longer run of digits stops growing here,
// so that a token of any length keeps the arithmetic inside 64 bits.
inline constexpr std::uint64_t Saturated = std::uint64_t{1} << 32;

inline constexpr std::array<std::uint64_t, AtOnce + 1> PowersOfTen = {
    1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000};

// magnitude followed by `count` more digits of value `digits`.
inline std::uint64_t Appended(std::uint64_t magnitude, int count, std::uint64_t digits) {
    return std::min(magnitude, Saturated) * PowersOfTen[count] + digits;
}

// Adds the digits from p on to magnitude, and returns where they stop. They
// must be followed by a character that is not a digit, with eight characters
// readable from any of them and from that one: the reader's blocks end in a
// NUL, and room for a load lies beyond it.
inline const char* ReadDigits(const char* p, std::uint64_t& magnitude) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t digits = 0;
        int count = LeadingDigits(p, digits);
        magnitude = Appended(magnitude, count, digits);
        // Most values end within the first eight characters.
        while (count == AtOnce) {
            p += AtOnce;
            count = LeadingDigits(p, digits);
            magnitude = Appended(magnitude, count, digits);
        }
        return p + count;
    } else {
        for (; IsDigit(*p); ++p) {
            magnitude = Appended(magnitude, 1, static_cast<unsigned>(*p - '0'));
        }
        return p;
    }
}

// The one limit test: the value of a sign and a magnitude, or false if it
// lies outside the signed 32-bit range.
inline bool SignedValue(bool negative, std::uint64_t magnitude, std::int32_t& value) {
    const std::uint64_t limit = (std::uint64_t{1} << 31) - (negative ? 0 : 1);
    if (magnitude > limit) {
        return false;
    }
    const auto signedMagnitude = static_cast<std::int64_t>(magnitude);
    value = static_cast<std::int32_t>(negative ? -signedMagnitude : signedMagnitude);
    return true;
}

inline bool IsBlankOrLineEnd(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline bool IsSeparator(int c) {
    return IsBlankOrLineEnd(c) || c == ',';
}

// Where a plain value at p ends: an optional minus sign and digits, followed
// by a separator inside the block. Most files hold nothing else. Null if
// the value is anything more (a quote, a plus sign, a value that ends the
// block or is too big), which the grammar then reads afresh.
inline const char* PlainValueEnd(const char* p, std::int32_t& value) {
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    const char* digitsStart = p;
    std::uint64_t magnitude = 0;
    p = ReadDigits(p, magnitude);
    if (p == digitsStart || !IsSeparator(static_cast<unsigned char>(*p)) ||
        !SignedValue(negative, magnitude, value)) {
        return nullptr;
    }
    return p;
}

} // namespace platform::digits
