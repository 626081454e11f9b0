#include "platform/Checked.h"
#include "platform/Collection.h"
#include "platform/FatalError.h"
#include "platform/Form.h"
#include "platform/IntTable.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>

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
    EXPECT_EQ(std::vector<std::int32_t>(small.Items()), (std::vector<std::int32_t>{7}));
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

TEST(ListBox, AppendsLinesInOrder) {
    platform::ListBox list;
    list.AddItem("first");
    list.AddItem(" ");
    list.AddItem("");
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.List(0), "first");
    EXPECT_EQ(list.List(1), " ");
    EXPECT_EQ(list.List(2), "");
    EXPECT_THROW(list.List(3), FatalError);
    EXPECT_THROW(list.List(-1), FatalError);
}

namespace {

// Stands for the program's record lines: the text tells which position it
// was made for, and how many lines have been made so far.
int recordLinesMade = 0;
char* WriteTestRecords(char* out, std::span<const std::int32_t> positions) {
    for (const std::int32_t position : positions) {
        ++recordLinesMade;
        const std::string text = "record " + std::to_string(position) + "\n";
        out = std::copy(text.begin(), text.end(), out);
    }
    return out;
}

} // namespace

// Record lines are kept by position and made only when asked for; texts
// between them keep their place.
TEST(ListBox, MakesRecordLinesWhenAsked) {
    platform::ListBox list;
    EXPECT_THROW(list.AddRecordLine(0), FatalError); // no writer yet
    list.UseRecordLines(WriteTestRecords);
    EXPECT_THROW(list.AddRecordLine(-1), FatalError);
    recordLinesMade = 0;
    list.AddRecordLine(7);
    list.AddItem("heading");
    list.AddRecordLine(0);
    list.AddRecordLine(7);
    EXPECT_EQ(recordLinesMade, 0);

    using Kind = platform::ListBox::LineKind;
    EXPECT_EQ(list.ListCount(), 4);
    EXPECT_EQ(list.KindOf(1), Kind::Text);
    EXPECT_EQ(list.KindOf(2), Kind::Record);
    EXPECT_EQ(list.RecordOf(3), 7);
    EXPECT_THROW(list.RecordOf(1), FatalError);
    platform::ListBox::LineBuffer scratch;
    EXPECT_EQ(list.Line(2, scratch), "record 0");
    EXPECT_EQ(list.Line(1, scratch), "heading");
    EXPECT_EQ(list.List(0), "record 7");
    EXPECT_EQ(recordLinesMade, 2);
}

// The widest line: a record line as long as a text, or longer, and the
// first of equals wins.
TEST(ListBox, LongestLineAmongRecordsAndTexts) {
    platform::ListBox list;
    list.UseRecordLines(WriteTestRecords);
    EXPECT_EQ(list.LongestLine(), 0);
    list.AddItem("short");
    for (std::int32_t p = 0; p < 600; ++p) {
        list.AddRecordLine(p % 100); // "record 10" and longer from line 11
    }
    EXPECT_EQ(list.LongestLine(), 11);
    list.AddItem("a text longer than any record line");
    list.AddRecordLine(1000);
    EXPECT_EQ(list.LongestLine(), 601);
    list.AddRecordLine(123456789);
    list.AddRecordLine(123456789);
    // "record 123456789" is 16 characters, less than the text.
    EXPECT_EQ(list.LongestLine(), 601);
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

#include "TestSupport.h"
#include "TextMode.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

using testing_support::WrittenText;

// Text mode goes out through a fixed buffer: lines that straddle its end,
// and a line longer than the buffer, must come out whole and in order.
TEST(TextMode, WritesEveryLineAcrossChunks) {
    platform::Form form(frmQuorvale::Layout());
    platform::ListBox& input = form.ListBoxNamed("lstInput");
    input.UseRecordLines(WriteTestRecords);
    std::string expected = "Input Data:\n";
    for (std::int32_t p = 0; p < 20000; ++p) {
        input.AddRecordLine(p);
        expected += "record " + std::to_string(p) + "\n";
    }
    const std::string longLine(200000, 'x');
    form.ListBoxNamed("lstOutput").AddItem(longLine);
    expected += "\nOutput Data:\n" + longLine + "\n\nNot Placed Data:\n\nErrors:\n";
    form.ListBoxNamed("lstErrors").AddItem("last");
    expected += "last\n";

    bool written = false;
    EXPECT_EQ(WrittenText(form, written), expected);
    EXPECT_TRUE(written);
}

std::string TestTip(std::int32_t index) {
    return "why " + std::to_string(index);
}

// Three lines, only the last two lists with tips.
platform::Form FormWithTips(bool showsTips) {
    platform::Form form(frmQuorvale::Layout(), showsTips);
    form.ListBoxNamed("lstInput").AddItem("in");
    platform::ListBox& notPlaced = form.ListBoxNamed("lstNotPlaced");
    notPlaced.UseRecordLines(WriteTestRecords);
    notPlaced.AddRecordLine(7);
    notPlaced.AddRecordLine(3);
    notPlaced.UseTips(TestTip);
    platform::ListBox& errors = form.ListBoxNamed("lstErrors");
    errors.AddItem("bad");
    errors.UseTips(TestTip);
    return form;
}

TEST(TextMode, TipsFollowTheListsUnderTheirCaption) {
    bool written = false;
    EXPECT_EQ(WrittenText(FormWithTips(true), written, "Reasons:"),
              "Input Data:\nin\n\nOutput Data:\n\nNot Placed Data:\nrecord 7\nrecord 3\n\n"
              "Errors:\nbad\n\nReasons:\nrecord 7\twhy 0\nrecord 3\twhy 1\nbad\twhy 0\n");
    EXPECT_TRUE(written);
    // A form that does not show tips prints none, whatever its lists have.
    EXPECT_EQ(WrittenText(FormWithTips(false), written, "Reasons:"),
              "Input Data:\nin\n\nOutput Data:\n\nNot Placed Data:\nrecord 7\nrecord 3\n\n"
              "Errors:\nbad\n");
}

// All the lines of a list as one text, as text mode writes them: texts
// between runs of record lines longer than one batch.
TEST(ListBox, AllLinesAsShownOnePerLine) {
    platform::ListBox list;
    EXPECT_EQ(list.AllLines(), "");
    list.UseRecordLines(WriteTestRecords);
    std::string expected;
    for (std::int32_t p = 0; p < 700; ++p) {
        if (p % 300 == 0) {
            list.AddItem(p == 0 ? "Output List 1" : " ");
            expected += p == 0 ? "Output List 1\n" : " \n";
        }
        list.AddRecordLine(p);
        expected += "record " + std::to_string(p) + "\n";
    }
    list.AddItem("");
    EXPECT_EQ(list.AllLines(), expected + "\n");
}

namespace {

// Record lines that two threads may make at once; counts the lines made and
// those made off the thread that started the writing.
std::atomic<std::int64_t> sharedLinesMade{0};
std::atomic<std::int64_t> linesMadeElsewhere{0};
std::thread::id writingThread;
// When set, the first block on the writing thread waits (a while at most)
// until the other thread has made a line, so that both surely take part.
std::atomic<bool> awaitSecondThread{false};

char* WriteSharedRecords(char* out, std::span<const std::int32_t> positions) {
    if (std::this_thread::get_id() != writingThread) {
        linesMadeElsewhere += static_cast<std::int64_t>(positions.size());
    } else if (awaitSecondThread.exchange(false)) {
        for (int i = 0; i < 2000 && linesMadeElsewhere == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    sharedLinesMade += static_cast<std::int64_t>(positions.size());
    for (const std::int32_t position : positions) {
        out = std::copy_n("record ", 7, out);
        out = platform::WriteDecimal(out, position);
        *out++ = '\n';
    }
    return out;
}

void StartCounting(bool awaitSecond = false) {
    writingThread = std::this_thread::get_id();
    sharedLinesMade = 0;
    linesMadeElsewhere = 0;
    awaitSecondThread = awaitSecond;
}

// Headings every `every` record lines (and one too long for any block), as
// the output list has them, with the text they should give.
platform::Form LongForm(std::int32_t records, std::int32_t every, std::string& expected) {
    platform::Form form(frmQuorvale::Layout());
    platform::ListBox& input = form.ListBoxNamed("lstInput");
    platform::ListBox& output = form.ListBoxNamed("lstOutput");
    input.UseRecordLines(WriteSharedRecords);
    output.UseRecordLines(WriteSharedRecords);
    std::string outputText;
    for (std::int32_t p = 0; p < records; ++p) {
        input.AddRecordLine(p);
        if (p % every == 0) {
            const std::string heading =
                p == every * 3 ? std::string(5000, 'h') : "Output List " + std::to_string(p);
            output.AddItem(heading);
            outputText += heading + "\n";
        }
        output.AddRecordLine(records - 1 - p);
        outputText += "record " + std::to_string(records - 1 - p) + "\n";
    }
    expected = "Input Data:\n";
    for (std::int32_t p = 0; p < records; ++p) {
        expected += "record " + std::to_string(p) + "\n";
    }
    expected += "\nOutput Data:\n" + outputText + "\nNot Placed Data:\n\nErrors:\n";
    return form;
}

} // namespace

// Blocks of a few lines each: every boundary between blocks, between the
// two threads, and around a heading too long for a block must keep the order.
TEST(TextModeTwoThreads, LinesComeOutInOrderAcrossBlocks) {
    std::string expected;
    const platform::Form form = LongForm(20000, 7, expected);
    for (const std::size_t room : {64u, 200u, 4096u, 1u << 18}) {
        StartCounting(true);
        bool written = false;
        EXPECT_EQ(WrittenText(form, written, {}, {1, room}), expected) << room;
        EXPECT_TRUE(written);
        EXPECT_EQ(sharedLinesMade, 40000) << "each line made once";
        if (room < 1u << 18) {
            EXPECT_GT(linesMadeElsewhere, 0) << room;
        }
    }
}

// The threshold counts record lines, not text lines: one below it, a list
// stays on one thread whatever its headings.
TEST(TextModeTwoThreads, OnlyFromTheThresholdOn) {
    std::string expected;
    const platform::Form form = LongForm(3000, 10, expected);
    const std::int32_t outputRecords = form.ListBoxNamed("lstOutput").RecordLineCount();
    ASSERT_EQ(outputRecords, 3000);
    for (const std::int32_t threshold : {3001, 3000}) {
        StartCounting(threshold == 3000);
        bool written = false;
        EXPECT_EQ(WrittenText(form, written, {}, {threshold, 640}), expected);
        EXPECT_TRUE(written);
        if (threshold > outputRecords) {
            EXPECT_EQ(linesMadeElsewhere, 0);
        } else {
            EXPECT_GT(linesMadeElsewhere, 0);
        }
    }
}

// Empty lists and lists of text only take the two-thread path as well when
// the threshold lets them, and come out as on one thread.
TEST(TextModeTwoThreads, EmptyAndTextOnlyLists) {
    platform::Form form(frmQuorvale::Layout());
    form.ListBoxNamed("lstOutput").AddItem("only text");
    form.ListBoxNamed("lstOutput").AddItem(std::string(3000, 't'));
    form.ListBoxNamed("lstErrors").UseRecordLines(WriteSharedRecords);
    form.ListBoxNamed("lstErrors").AddRecordLine(4);
    bool written = false;
    const std::string oneThread = WrittenText(form, written, {}, {INT32_MAX, 256});
    EXPECT_EQ(oneThread, "Input Data:\n\nOutput Data:\nonly text\n" + std::string(3000, 't') +
                             "\n\nNot Placed Data:\n\nErrors:\nrecord 4\n");
    EXPECT_EQ(WrittenText(form, written, {}, {0, 256}), oneThread);
    EXPECT_TRUE(written);
}

#ifndef _WIN32
// A write that fails while the worker is ahead: reported as a failure with
// the cause in errno, the worker stopped soon after, nothing left running.
TEST(TextModeTwoThreads, FailedWriteStopsTheWorker) {
    std::string expected;
    const platform::Form form = LongForm(400000, 1000, expected);
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    StartCounting();
    errno = 0;
    EXPECT_FALSE(platform::WriteFormAsText(form, full, {}, {1, 4096}));
    EXPECT_EQ(errno, ENOSPC);
    std::fclose(full);
    EXPECT_LT(sharedLinesMade, 400000) << "formatting stops at the failure";
}
#endif

// A list's lines by ranges, as the second thread takes them.
TEST(ListBox, RangesOfLinesFitTheirRoom) {
    platform::ListBox list;
    list.UseRecordLines(WriteSharedRecords);
    list.AddRecordLine(1);
    list.AddItem("twelve chars");
    list.AddRecordLine(2);
    list.AddRecordLine(3);
    constexpr std::size_t Line = platform::ListBox::RecordLineCapacity;
    EXPECT_EQ(list.LinesFitting(0, Line - 1), 0);
    EXPECT_EQ(list.LinesFitting(0, Line + 12), 1);
    EXPECT_EQ(list.LinesFitting(0, Line + 13), 2);
    EXPECT_EQ(list.LinesFitting(1, 1000), 4);
    EXPECT_EQ(list.RecordLineCount(), 3);
    std::array<char, 4 * Line> room{};
    const char* end = list.WriteLineRange(room.data(), 1, 4);
    EXPECT_EQ(std::string_view(room.data(), end), "twelve chars\nrecord 2\nrecord 3\n");
    EXPECT_EQ(list.WriteLineRange(room.data(), 2, 2), room.data());
    EXPECT_THROW(list.WriteLineRange(room.data(), 3, 5), FatalError);
}

#include "platform/FocusMark.h"

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

TEST(ListBox, TipsOnlyWhereGivenAndOnlyForExistingLines) {
    const platform::Form form = FormWithTips(true);
    EXPECT_FALSE(form.ListBoxNamed("lstInput").HasTips());
    EXPECT_EQ(form.ListBoxNamed("lstInput").Tip(0), "");
    EXPECT_EQ(form.ListBoxNamed("lstNotPlaced").Tip(1), "why 1");
    EXPECT_THROW(form.ListBoxNamed("lstNotPlaced").Tip(2), platform::FatalError);
    EXPECT_THROW(form.ListBoxNamed("lstInput").Tip(-1), platform::FatalError);
}

#ifndef _WIN32
TEST(TextMode, FullDeviceIsReportedAsAFailure) {
    platform::Form form(frmQuorvale::Layout());
    form.ListBoxNamed("lstInput").AddItem(std::string(300000, 'y'));
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_FALSE(platform::WriteFormAsText(form, full));
    std::fclose(full);
}
#endif

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
