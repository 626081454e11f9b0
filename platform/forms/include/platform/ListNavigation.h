#pragma once

// What the keys that lead from line to line remember between presses, the
// same in every window engine: the lines that were left, to go back to, and
// the digits of a position being typed.

#include "platform/ListBox.h"

#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// The lines left by moves, the latest last; past Capacity the oldest is
// forgotten.
template <typename Line> class BackHistory {
public:
    static constexpr std::size_t Capacity = 64;

    void Push(const Line& line) {
        if (lines_.size() == Capacity) {
            lines_.pop_front();
        }
        lines_.push_back(line);
    }
    std::optional<Line> Pop() {
        if (lines_.empty()) {
            return std::nullopt;
        }
        Line line = lines_.back();
        lines_.pop_back();
        return line;
    }
    std::size_t Size() const { return lines_.size(); }

private:
    std::deque<Line> lines_;
};

// A position typed digit by digit, as type-ahead in file lists: digits typed
// within Pause of each other, in the same list, make one number.
class TypedPosition {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration Pause = std::chrono::seconds(1);

    // The number typed so far in `list` with this digit, -1 once it is too
    // large to be a position.
    std::int32_t Add(const void* list, int digit, Clock::time_point now) {
        if (list != list_ || now - last_ > Pause) {
            list_ = list;
            value_ = 0;
            moved_ = false;
        }
        last_ = now;
        if (value_ >= 0) {
            value_ = value_ * 10 + digit;
            if (value_ > INT32_MAX) {
                value_ = -1;
            }
        }
        return static_cast<std::int32_t>(value_);
    }
    // True the first time a number moves the list, so that one number typed
    // leaves one line to go back to.
    bool FirstMove() { return !std::exchange(moved_, true); }

private:
    const void* list_ = nullptr;
    Clock::time_point last_{};
    std::int64_t value_ = 0;
    bool moved_ = false;
};

// What a list shows and then what it holds, as a screen reader hears it
// after the list's name: "The output lists, five records each. 6 output
// lists of 5 records: ...". Without counts, the description alone.
inline std::string DescriptionWithCounts(std::string_view description, const std::string& counts) {
    if (counts.empty()) {
        return std::string(description);
    }
    return description.empty() ? counts : std::string(description) + ". " + counts;
}

} // namespace platform
