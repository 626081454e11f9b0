#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Signed 32-bit arithmetic that raises instead of wrapping. The optional
// context names what was being computed, so that the report is useful.
[[noreturn]] void RaiseOverflow(std::string_view operation, std::int64_t exact,
                                std::string_view context);

inline std::int32_t CheckedResult(std::int64_t exact, std::string_view operation,
                                  std::string_view context) {
    if (exact < INT32_MIN || exact > INT32_MAX) {
        RaiseOverflow(operation, exact, context);
    }
    return static_cast<std::int32_t>(exact);
}

inline std::int32_t CheckedSub(std::int32_t a, std::int32_t b, std::string_view context = {}) {
    return CheckedResult(std::int64_t{a} - b, "subtraction", context);
}

} // namespace platform
