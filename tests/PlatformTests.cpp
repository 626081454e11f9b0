// The runtime's services, the form layout and the focus mark. The list box
// and text mode have files of their own.

#include "frmQuorvale.h"
#include "platform/Checked.h"
#include "platform/Collection.h"
#include "platform/FatalError.h"
#include "platform/FocusMark.h"
#include "platform/FormLayout.h"
#include "platform/IntTable.h"
#include "platform/SideBySide.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <new>
#include <thread>
#include <vector>

using platform::FatalError;

TEST(CheckedArithmetic, RaisesInsteadOfWrapping) {
    EXPECT_EQ(platform::CheckedSub(INT32_MIN + 1, 1), INT32_MIN);
    EXPECT_EQ(platform::CheckedSub(INT32_MAX, -0), INT32_MAX);
    EXPECT_THROW(platform::CheckedSub(INT32_MIN, 1), FatalError);
    EXPECT_THROW(platform::CheckedSub(INT32_MAX, -1), FatalError);
    try {
        platform::CheckedSub(INT32_MIN, 1, "record count");
        FAIL();
    } catch (const FatalError& error) {
        EXPECT_NE(std::string(error.what()).find("record count"), std::string::npos);
    }
}

TEST(IntTable, ChecksBothBoundsAndStartsAtZero) {
    platform::IntTable table;
    table.Create(3, 5);
    EXPECT_EQ(table.Get(2, 4), 0);
    table.Set(1, 4, -7);
    EXPECT_EQ(table.Get(1, 4), -7);
    EXPECT_EQ(table.Get(2, 0), 0);
    EXPECT_THROW(table.Get(3, 0), FatalError);
    EXPECT_THROW(table.Get(-1, 0), FatalError);
    EXPECT_THROW(table.Set(0, 5, 1), FatalError);
    table.Create(2, 5); // anew: earlier contents are gone
    EXPECT_EQ(table.Get(1, 4), 0);
    EXPECT_THROW(table.Get(2, 0), FatalError);
}

TEST(IntTable, HugeBoundsCostNothingUntilWritten) {
    platform::IntTable table;
    table.Create(INT32_MAX, 5);
    EXPECT_EQ(table.Get(INT32_MAX - 1, 4), 0);
    table.Set(0, 0, 1);
    EXPECT_EQ(table.Get(0, 0), 1);
}

// Room taken ahead is not content: rows skipped over still read as 0,
// whatever the block held, and a reservation never passes the table.
TEST(IntTable, ReservedRoomReadsAsZeroUntilWritten) {
    platform::IntTable table;
    table.Create(1000, 5);
    std::fill_n(table.Data(), 5000, -1);
    table.Create(1000, 5); // the block just freed, still full of -1, is likely taken again
    table.Reserve(INT32_MAX);
    table.SetRow(700, std::array<std::int32_t, 5>{1, 2, 3, 4, 5});
    EXPECT_EQ(table.Get(699, 4), 0);
    EXPECT_EQ(table.Get(0, 0), 0);
    EXPECT_EQ(table.Get(700, 4), 5);
    EXPECT_EQ(table.Get(999, 4), 0);
    const std::int32_t* cells = table.Data();
    EXPECT_EQ(std::count(cells, cells + 5000, 0), 4995);
    table.Reserve(-1);
    EXPECT_EQ(table.Get(700, 0), 1);
}

TEST(IntTable, StoresRowByRow) {
    platform::IntTable table;
    table.Create(2, 3);
    table.Set(1, 0, 9);
    EXPECT_EQ(table.Data()[3], 9);
    table.Data()[5] = 6;
    EXPECT_EQ(table.Get(1, 2), 6);
    EXPECT_EQ(table.Get(0, 2), 0);
}

TEST(IntTable, OverwrittenWholeKeepsWhatWasWritten) {
    platform::IntTable table;
    table.Create(1000, 5);
    table.Set(0, 0, 42);
    std::int32_t* cells = table.DataToOverwrite();
    for (std::int32_t i = 0; i < 5000; ++i) {
        cells[i] = i - 7;
    }
    EXPECT_EQ(table.Get(0, 0), -7);
    EXPECT_EQ(table.Get(999, 4), 4992);
    table.Set(500, 1, 3); // a later write does not clear what is there
    EXPECT_EQ(table.Get(999, 4), 4992);
    EXPECT_EQ(table.Data()[2501], 3);
}

TEST(IntTable, SetsWholeRowsInAnyOrder) {
    platform::IntTable table;
    table.Create(4, 3);
    table.SetRow(0, std::array{1, 2, 3});
    table.SetRow(2, std::array{7, 8, 9}); // past the filled rows: row 1 reads 0
    EXPECT_EQ(table.Get(1, 1), 0);
    table.SetRow(1, std::array{4, 5, 6});
    const std::array<std::int32_t, 9> expected{1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), table.Data()));
    EXPECT_EQ(table.Get(3, 2), 0);
    EXPECT_THROW(table.SetRow(4, std::array{1, 2, 3}), FatalError);
    EXPECT_THROW(table.SetRow(-1, std::array{1, 2, 3}), FatalError);
    EXPECT_THROW(table.SetRow(3, std::array{1, 2}), FatalError);
    EXPECT_THROW(table.SetRow(3, std::array{1, 2, 3, 4}), FatalError);
}

// Rows are read a batch at a time before they are acted on: across batches
// every row must still come with its own values, in the order asked, and a
// row outside the table must raise, not read past it.
TEST(IntTable, ForEachRowGivesTheChosenColumnsInOrder) {
    platform::IntTable table;
    table.Create(100, 4);
    for (std::int32_t row = 0; row < 100; ++row) {
        table.SetRow(row, std::array{row, -row, row * 3, 7});
    }
    std::vector<std::int32_t> rows;
    for (std::int32_t i = 0; i < 70; ++i) {
        rows.push_back((i * 37) % 100);
    }
    rows.push_back(rows.front());
    std::vector<std::int32_t> seen;
    table.ForEachRow(rows, std::array{2, 0}, [&](std::int32_t row, const auto& values) {
        EXPECT_EQ(values[0], row * 3);
        EXPECT_EQ(values[1], row);
        seen.push_back(row);
    });
    EXPECT_EQ(seen, rows);

    const auto nothing = [](std::int32_t, const auto&) {};
    rows.push_back(100);
    EXPECT_THROW(table.ForEachRow(rows, std::array{0}, nothing), FatalError);
    EXPECT_THROW(table.ForEachRow(std::vector{-1}, std::array{0}, nothing), FatalError);
    EXPECT_THROW(table.ForEachRow(std::vector{1}, std::array{4}, nothing), FatalError);
}

TEST(Collection, IsOneBasedAndRemoveMovesLaterElementsUp) {
    platform::Collection<std::int32_t> list;
    for (std::int32_t value : {10, 20, 30, 40}) {
        list.Add(value);
    }
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Item(1), 10);
    list.Remove(2);
    EXPECT_EQ(list.Items(), (std::vector<std::int32_t>{10, 30, 40}));
    list.Remove(3);
    list.Remove(1);
    EXPECT_EQ(list.Items(), (std::vector<std::int32_t>{30}));
    EXPECT_THROW(list.Item(0), FatalError);
    EXPECT_THROW(list.Item(2), FatalError);
    EXPECT_THROW(list.Remove(2), FatalError);
}

TEST(Collection, KeepsItsElementsAcrossGrowthCopiesAndMoves) {
    // Short lists are kept inline and longer ones on the heap: both sides of
    // that boundary must behave alike.
    platform::Collection<std::int32_t> list;
    std::vector<std::int32_t> expected;
    for (std::int32_t value = 0; value < 20; ++value) {
        list.Add(value);
        expected.push_back(value);
        const platform::Collection<std::int32_t> copy = list;
        ASSERT_EQ(copy.Items(), expected);
    }
    list.Remove(1);
    expected.erase(expected.begin());
    platform::Collection<std::int32_t> moved = std::move(list);
    EXPECT_EQ(moved.Items(), expected);
    EXPECT_EQ(list.Count(), 0);
    platform::Collection<std::int32_t> small;
    small.Add(7);
    moved = small;
    EXPECT_EQ(moved.Items(), (std::vector<std::int32_t>{7}));
    small = std::move(moved);
    EXPECT_EQ(small.Count(), 1);
    EXPECT_EQ(small.Item(1), 7);
    EXPECT_EQ(small.Items(), (std::vector<std::int32_t>{7}));
}

TEST(Collection, HoldsCollectionsByValue) {
    platform::Collection<platform::Collection<std::int32_t>> lists;
    platform::Collection<std::int32_t> inner;
    inner.Add(1);
    lists.Add(inner);
    inner.Add(2);
    EXPECT_EQ(lists.Item(1).Count(), 1);
}

TEST(Text, PlainDecimalAndZeroPattern) {
    auto decimal = [](std::int32_t value) {
        std::string text = "x";
        platform::AppendDecimal(text, value);
        return text;
    };
    auto padded = [](std::int32_t value) {
        char text[20];
        return std::string(text, platform::WritePadded(text, value, 5));
    };
    EXPECT_EQ(decimal(0), "x0");
    EXPECT_EQ(decimal(-7), "x-7");
    EXPECT_EQ(decimal(INT32_MIN), "x-2147483648");
    // Around the short forms of one and two digits.
    for (std::int32_t value = -120; value <= 1200; ++value) {
        ASSERT_EQ(decimal(value), "x" + std::to_string(value));
    }
    EXPECT_EQ(padded(42), "00042");
    EXPECT_EQ(padded(0), "00000");
    EXPECT_EQ(padded(123456), "123456");
    EXPECT_EQ(padded(-5), "-00005");
    EXPECT_EQ(padded(INT32_MIN), "-2147483648");
    // Every digit count, both signs.
    std::vector<std::int32_t> values = {INT32_MIN, INT32_MAX, 0};
    for (std::int64_t power = 1; power <= INT32_MAX; power *= 10) {
        for (const std::int64_t v : {power - 1, power, -power, 1 - power}) {
            values.push_back(static_cast<std::int32_t>(v));
        }
    }
    for (std::int64_t v = 1; v <= INT32_MAX; v = v * 3 / 2 + 1) {
        values.push_back(static_cast<std::int32_t>(v));
        values.push_back(static_cast<std::int32_t>(-v));
    }
    for (const std::int32_t value : values) {
        const std::string digits = std::to_string(value < 0 ? -std::int64_t{value} : value);
        const std::string sign = value < 0 ? "-" : "";
        EXPECT_EQ(decimal(value), "x" + sign + digits) << value;
        EXPECT_EQ(padded(value),
                  sign + std::string(5 - std::min<std::size_t>(5, digits.size()), '0') + digits)
            << value;
    }
}

TEST(FormLayout, DesignedSizeGivesDesignedGeometry) {
    const platform::FormDescription form = frmQuorvale::Layout();
    const auto rects = platform::LayoutForm(form, form.clientWidth, form.clientHeight);
    ASSERT_EQ(rects.size(), form.controls.size());
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const auto& c = form.controls[i];
        EXPECT_EQ(rects[i], (platform::TwipRect{c.left, c.top, c.width, c.height})) << c.name;
    }
}

// A client area smaller than designed (a small screen): the frames and the
// gaps between them shrink in proportion and stay inside it; the lists keep
// their margins.
TEST(FormLayout, SmallerClientAreaShrinksFramesInProportion) {
    const platform::FormDescription form = frmQuorvale::Layout();
    const int width = form.clientWidth * 3 / 5;
    const int height = form.clientHeight / 2;
    const auto rects = platform::LayoutForm(form, width, height);
    int previousEnd = 0;
    for (std::size_t frame = 0; frame < 8; frame += 2) {
        SCOPED_TRACE(frame);
        const auto& designed = form.controls[frame];
        EXPECT_NEAR(rects[frame].left, designed.left * 3 / 5, 1);
        EXPECT_NEAR(rects[frame].width, designed.width * 3 / 5, 1);
        EXPECT_NEAR(rects[frame].top, designed.top / 2, 1);
        EXPECT_NEAR(rects[frame].height, designed.height / 2, 1);
        EXPECT_NEAR(rects[frame].left - previousEnd, frame == 0 ? 36 : 27, 1) << "the gap";
        previousEnd = rects[frame].left + rects[frame].width;
        EXPECT_LE(rects[frame].top + rects[frame].height, height);
        EXPECT_EQ(rects[frame + 1].left, 150);
        EXPECT_EQ(rects[frame + 1].top, 270);
        EXPECT_EQ(rects[frame].width - rects[frame + 1].width, 2385 - 2085);
        EXPECT_EQ(rects[frame].height - rects[frame + 1].height, 4425 - 3960);
    }
    EXPECT_LE(previousEnd, width);
    // Too small for the margins: the lists vanish rather than turn inside out.
    for (const auto& rect : platform::LayoutForm(form, 150, 150)) {
        EXPECT_GE(rect.width, 0);
        EXPECT_GE(rect.height, 0);
    }
}

TEST(FormLayout, FramesShareExtraWidthEquallyAndListsKeepMargins) {
    const platform::FormDescription form = frmQuorvale::Layout();
    const auto rects = platform::LayoutForm(form, form.clientWidth + 4000, form.clientHeight + 600);
    // Frames 1 to 4 are controls 0, 2, 4, 6; each list follows its frame.
    for (std::size_t frame = 0; frame < 8; frame += 2) {
        EXPECT_EQ(rects[frame].width, 2385 + 1000);
        EXPECT_EQ(rects[frame].height, 4425 + 600);
        EXPECT_EQ(rects[frame].left,
                  form.controls[frame].left + 1000 * static_cast<int>(frame / 2));
        EXPECT_EQ(rects[frame + 1].left, 150);
        EXPECT_EQ(rects[frame].width - rects[frame + 1].width, 2385 - 2085);
        EXPECT_EQ(rects[frame].height - rects[frame + 1].height, 4425 - 3960);
    }
    // The gaps between frames stay as designed.
    EXPECT_EQ(rects[2].left - (rects[0].left + rects[0].width), 45);
}

TEST(FocusMark, ContrastAsWcagMeasuresIt) {
    const platform::Rgb white{255, 255, 255};
    const platform::Rgb black{0, 0, 0};
    EXPECT_NEAR(platform::ContrastRatio(white, black), 21.0, 1e-9);
    EXPECT_NEAR(platform::ContrastRatio(black, white), 21.0, 1e-9);
    EXPECT_NEAR(platform::ContrastRatio({90, 90, 90}, {90, 90, 90}), 1.0, 1e-9);
    // The lightest grey that is still readable on white: 4.54.
    EXPECT_NEAR(platform::ContrastRatio({0x76, 0x76, 0x76}, white), 4.54, 0.01);
    // Weights: green counts most, blue least.
    EXPECT_GT(platform::ContrastRatio({0, 255, 0}, black),
              platform::ContrastRatio({255, 0, 0}, black));
    EXPECT_GT(platform::ContrastRatio({255, 0, 0}, black),
              platform::ContrastRatio({0, 0, 255}, black));
}

// The selection colour marks the focus where it stands out at least 3:1,
// else the text colour does.
TEST(FocusMark, SelectionColourUnlessTooPale) {
    const platform::Rgb white{255, 255, 255};
    const platform::Rgb text{0, 0, 0};
    const platform::Rgb blue{0x30, 0x8c, 0xc6}; // 3.7:1 on white
    const platform::Rgb pale{0xb0, 0xd0, 0xf0}; // 1.6:1
    auto same = [](platform::Rgb a, platform::Rgb b) {
        return a.red == b.red && a.green == b.green && a.blue == b.blue;
    };
    EXPECT_TRUE(same(platform::FocusMarkColour(blue, text, white), blue));
    EXPECT_TRUE(same(platform::FocusMarkColour(pale, text, white), text));
    EXPECT_TRUE(same(platform::FocusMarkColour(blue, white, text), blue)) << "on black";
}

TEST(Text, EscapeTextShowsHiddenBytesAsHex) {
    using platform::EscapeText;
    EXPECT_EQ(EscapeText("Data.txt"), "Data.txt");
    EXPECT_EQ(EscapeText("Donn\xC3\xA9"
                         "es \xE2\x82\xAC"),
              "Donn\xC3\xA9"
              "es \xE2\x82\xAC");
    EXPECT_EQ(EscapeText("a\nb\r\t"), "a\\x0Ab\\x0D\\x09");
    EXPECT_EQ(EscapeText("\x1B[31mred\x7F"), "\\x1B[31mred\\x7F");
    EXPECT_EQ(EscapeText("C:\\x"), "C:\\x5Cx");
    // Latin-1, a C1 control (CSI), a bidi override, an overlong slash, a
    // surrogate and a cut-off sequence.
    EXPECT_EQ(EscapeText("\xE9t\xE9"), "\\xE9t\\xE9");
    EXPECT_EQ(EscapeText("\xC2\x9B"
                         "2J"),
              "\\xC2\\x9B2J");
    EXPECT_EQ(EscapeText("a\xE2\x80\xAE"
                         "b"),
              "a\\xE2\\x80\\xAEb");
    EXPECT_EQ(EscapeText("\xC0\xAF"), "\\xC0\\xAF");
    EXPECT_EQ(EscapeText("\xED\xA0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(EscapeText("x\xE2\x80"), "x\\xE2\\x80");
}

TEST(Text, ShownNameQuotesWhatCouldBeMisread) {
    using platform::ShownName;
    EXPECT_EQ(ShownName("Data.txt"), "Data.txt");
    EXPECT_EQ(ShownName("dir/my data.txt"), "dir/my data.txt");
    EXPECT_EQ(ShownName(""), "\"\"");
    EXPECT_EQ(ShownName("a\"b"), "\"a\\\"b\"");
    EXPECT_EQ(ShownName("C:\\data\\Data.txt"), "C:\\data\\Data.txt");
    EXPECT_EQ(ShownName("C:\\xfiles"), "C:\\x5Cxfiles");
    EXPECT_EQ(ShownName(" lead"), "\" lead\"");
    EXPECT_EQ(ShownName("bad\nname"), "bad\\x0Aname");
}

TEST(Building, NamesTheOutermostScopeAnErrorLeft) {
    EXPECT_EQ(platform::TakeBuildingWhenFailed(), "");
    { const platform::Building done("finished work"); }
    EXPECT_EQ(platform::TakeBuildingWhenFailed(), "");
    try {
        const platform::Building outer("loading 3 records");
        const platform::Building inner("filling a list of 9 lines");
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    EXPECT_EQ(platform::TakeBuildingWhenFailed(), "loading 3 records");
    EXPECT_EQ(platform::TakeBuildingWhenFailed(), "");
}

TEST(RunSideBySide, RunsBothAtOnceAndRaisesTheirErrorsHere) {
    std::thread::id besidesThread;
    bool hereRan = false;
    platform::RunSideBySide([&] { hereRan = true; },
                            [&] { besidesThread = std::this_thread::get_id(); });
    EXPECT_TRUE(hereRan);
    EXPECT_NE(besidesThread, std::thread::id());
    EXPECT_NE(besidesThread, std::this_thread::get_id());

    bool hereFinished = false;
    EXPECT_THROW(platform::RunSideBySide([&] { hereFinished = true; },
                                         [] { platform::Raise("no room for the halves"); }),
                 FatalError);
    EXPECT_TRUE(hereFinished);
    try {
        platform::RunSideBySide([] { platform::Raise("here"); },
                                [] { platform::Raise("besides"); });
        ADD_FAILURE() << "nothing raised";
    } catch (const FatalError& error) {
        EXPECT_STREQ(error.what(), "here");
    }
}
