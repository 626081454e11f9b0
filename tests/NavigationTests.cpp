// What the window's keys remember between presses; the engines' own tests
// drive the keys themselves.

#include "platform/ListNavigation.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using platform::TypedPosition;

TEST(Navigation, HistoryGoesBackThroughTheLatestMovesOnly) {
    platform::BackHistory<int> history;
    for (int line = 1; line <= 70; ++line) {
        history.Push(line);
    }
    EXPECT_EQ(history.Size(), platform::BackHistory<int>::Capacity);
    EXPECT_EQ(history.Pop(), 70);
    EXPECT_EQ(history.Pop(), 69);
    std::optional<int> oldest;
    while (const auto line = history.Pop()) {
        oldest = line;
    }
    EXPECT_EQ(oldest, 70 - static_cast<int>(platform::BackHistory<int>::Capacity) + 1);
    EXPECT_EQ(history.Pop(), std::nullopt);
}

TEST(Navigation, DigitsWithinASecondInOneListMakeOneNumber) {
    TypedPosition typed;
    const int list = 0;
    const int other = 0;
    const auto start = TypedPosition::Clock::time_point() + 1h;
    EXPECT_EQ(typed.Add(&list, 2, start), 2);
    EXPECT_TRUE(typed.FirstMove());
    EXPECT_EQ(typed.Add(&list, 6, start + 900ms), 26);
    EXPECT_FALSE(typed.FirstMove()) << "one number, one line to go back to";
    EXPECT_EQ(typed.Add(&list, 1, start + 900ms + 1100ms), 1) << "after a pause";
    EXPECT_TRUE(typed.FirstMove());
    EXPECT_EQ(typed.Add(&other, 4, start + 2100ms), 4) << "in another list";
    for (const int digit : {2, 1, 4, 7, 4, 8, 3, 6, 4}) {
        typed.Add(&other, digit, start + 2200ms);
    }
    EXPECT_EQ(typed.Add(&other, 7, start + 2300ms), -1) << "beyond any position";
    EXPECT_EQ(typed.Add(&other, 0, start + 2400ms), -1);
}

} // namespace
