#include "platform/Checked.h"
#include "platform/Collection.h"
#include "platform/Concurrent.h"
#include "platform/FatalError.h"
#include "platform/Form.h"
#include "platform/IntTable.h"
#include "platform/Text.h"

#include <atomic>
#include <gtest/gtest.h>

using platform::FatalError;

TEST(CheckedArithmetic, RaisesInsteadOfWrapping) {
    EXPECT_EQ(platform::CheckedAdd(INT32_MAX - 1, 1), INT32_MAX);
    EXPECT_EQ(platform::CheckedSub(INT32_MIN + 1, 1), INT32_MIN);
    EXPECT_THROW(platform::CheckedAdd(INT32_MAX, 1), FatalError);
    EXPECT_THROW(platform::CheckedSub(INT32_MIN, 1), FatalError);
    EXPECT_THROW(platform::CheckedMul(65536, 32768), FatalError);
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

TEST(IntTable, StoresRowByRow) {
    platform::IntTable table;
    table.Create(2, 3);
    table.Set(1, 0, 9);
    EXPECT_EQ(table.Data()[3], 9);

    table.ReplaceCells({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(table.Get(1, 0), 4);
    EXPECT_EQ(table.Get(0, 2), 3);
    EXPECT_THROW(table.ReplaceCells({1, 2, 3}), FatalError);
    EXPECT_EQ(table.Get(1, 2), 6);
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

TEST(Collection, HoldsCollectionsByValue) {
    platform::Collection<platform::Collection<std::int32_t>> lists;
    platform::Collection<std::int32_t> inner;
    inner.Add(1);
    lists.Add(inner);
    inner.Add(2);
    EXPECT_EQ(lists.Item(1).Count(), 1);
}

TEST(Text, PlainDecimalAndZeroPattern) {
    EXPECT_EQ(platform::ToDecimal(0), "0");
    EXPECT_EQ(platform::ToDecimal(-7), "-7");
    EXPECT_EQ(platform::ToDecimal(INT32_MIN), "-2147483648");
    EXPECT_EQ(platform::FormatNumber(42, "00000"), "00042");
    EXPECT_EQ(platform::FormatNumber(0, "00000"), "00000");
    EXPECT_EQ(platform::FormatNumber(123456, "00000"), "123456");
    EXPECT_EQ(platform::FormatNumber(-5, "00000"), "-00005");
}

TEST(ListBox, AppendsLinesInOrder) {
    platform::ListBox list;
    list.AddItem("first");
    list.AddItem(" ");
    list.AddItem("");
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.List(0), "first");
    EXPECT_EQ(list.List(1), " ");
    EXPECT_EQ(list.List(2), "");
    EXPECT_EQ(list.AllLines(), "first\n \n\n");
    EXPECT_THROW(list.List(3), FatalError);
}

// On two threads side runs to its end even when main fails; in turn, main
// runs first and its error stops there. Either way the error is raised.
TEST(RunAlongside, RunsBothAndRaisesTheirErrors) {
    for (const bool parallel : {false, true}) {
        std::atomic<int> runs = 0;
        platform::RunAlongside(
            parallel, [&] { ++runs; }, [&] { ++runs; });
        EXPECT_EQ(runs, 2);

        bool sideFinished = false;
        try {
            platform::RunAlongside(
                parallel, [] { platform::Raise("main failed"); }, [&] { sideFinished = true; });
            ADD_FAILURE() << "no error";
        } catch (const FatalError& error) {
            EXPECT_STREQ(error.what(), "main failed");
        }
        EXPECT_EQ(sideFinished, parallel);

        EXPECT_THROW(platform::RunAlongside(
                         parallel, [&] { ++runs; }, [] { platform::Raise("side failed"); }),
                     FatalError);
        EXPECT_EQ(runs, 3);
    }
}

// Growing the buffer past a reservation, and one list appended to another,
// must keep every line where it was.
TEST(ListBox, KeepsLinesAcrossGrowthAndAppending) {
    platform::ListBox first;
    first.Reserve(1, 2);
    platform::ListBox second;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        const std::string line(static_cast<std::size_t>(i % 40), static_cast<char>('a' + i % 26));
        (i < 100 ? first : second).AddItem(line);
        expected += line + "\n";
    }
    first.AddItems(second);
    first.AddItems(platform::ListBox());
    ASSERT_EQ(first.ListCount(), 300);
    EXPECT_EQ(first.AllLines(), expected);
    EXPECT_EQ(first.List(99), std::string(19, 'v'));
    EXPECT_EQ(first.List(100), std::string(20, 'w'));
    EXPECT_EQ(first.List(299), std::string(19, 'n'));
}

#include "frmQuorvale.h"
#include "platform/FormLayout.h"

TEST(FormLayout, DesignedSizeGivesDesignedGeometry) {
    const platform::FormDescription form = frmQuorvale::Layout();
    const auto rects = platform::LayoutForm(form, form.clientWidth, form.clientHeight);
    ASSERT_EQ(rects.size(), form.controls.size());
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const auto& c = form.controls[i];
        EXPECT_EQ(rects[i], (platform::TwipRect{c.left, c.top, c.width, c.height})) << c.name;
    }
    // Smaller than designed lays out as designed.
    EXPECT_EQ(platform::LayoutForm(form, 100, 100), rects);
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
