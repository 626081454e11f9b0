// The list box: its lines as the program adds them and as engines and text
// mode read them back.

#include "ListBoxContents.h"
#include "ListBoxWriting.h"
#include "frmQuorvale.h"
#include "platform/FatalError.h"
#include "platform/Form.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <span>
#include <string>
#include <string_view>

using platform::FatalError;
using platform::ListBoxContents;
using platform::ListBoxWriting;

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

std::string TestTip(std::int32_t index) {
    return "why " + std::to_string(index);
}

} // namespace

// Record lines are kept by position and made only when asked for, by a
// writer that may come after them; texts between them keep their place.
TEST(ListBox, MakesRecordLinesWhenAsked) {
    platform::ListBox list;
    EXPECT_THROW(list.AddRecordLine(-1), FatalError);
    recordLinesMade = 0;
    list.AddRecordLine(7);
    list.AddItem("heading");
    list.AddRecordLine(0);
    // Without a writer the lines are kept, but a record line can't be shown.
    EXPECT_EQ(list.List(1), "heading");
    EXPECT_THROW(list.List(0), FatalError);
    EXPECT_THROW(ListBoxWriting::RaiseUnlessShowable(list), FatalError);
    list.UseRecordLines(WriteTestRecords);
    EXPECT_NO_THROW(ListBoxWriting::RaiseUnlessShowable(list));
    list.AddRecordLine(7);
    EXPECT_EQ(recordLinesMade, 0);

    using Kind = ListBoxContents::LineKind;
    EXPECT_EQ(list.ListCount(), 4);
    EXPECT_EQ(ListBoxContents::KindOf(list, 1), Kind::Text);
    EXPECT_EQ(ListBoxContents::KindOf(list, 2), Kind::Record);
    EXPECT_EQ(ListBoxContents::RecordOf(list, 3), 7);
    EXPECT_THROW(ListBoxContents::RecordOf(list, 1), FatalError);
    platform::ListBox::LineBuffer scratch;
    EXPECT_EQ(list.Line(2, scratch), "record 0");
    EXPECT_EQ(list.Line(1, scratch), "heading");
    EXPECT_EQ(list.List(0), "record 7");
    EXPECT_EQ(recordLinesMade, 2);

    // Texts alone need no writer.
    platform::ListBox texts;
    texts.AddItem("only text");
    EXPECT_NO_THROW(ListBoxWriting::RaiseUnlessShowable(texts));
}

// One writer for every list of a form, whenever it comes.
TEST(ListBox, FormGivesEveryListTheWriter) {
    platform::Form form(frmQuorvale::Layout());
    form.ListBoxNamed("lstInput").AddRecordLine(4);
    form.UseRecordLines(WriteTestRecords);
    form.ListBoxNamed("lstErrors").AddRecordLine(5);
    EXPECT_EQ(form.ListBoxNamed("lstInput").List(0), "record 4");
    EXPECT_EQ(form.ListBoxNamed("lstErrors").List(0), "record 5");
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

// All the lines of a list as one text, as text mode writes them: texts
// between runs of record lines longer than one batch. Room reserved ahead
// changes nothing.
TEST(ListBox, AllLinesAsShownOnePerLine) {
    platform::ListBox list;
    EXPECT_EQ(list.AllLines(), "");
    list.Reserve(300);
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
    list.UseRecordLines(WriteTestRecords);
    EXPECT_EQ(list.AllLines(), expected + "\n");
}

// A list's lines by ranges, as the second thread takes them.
TEST(ListBox, RangesOfLinesFitTheirRoom) {
    platform::ListBox list;
    list.UseRecordLines(WriteTestRecords);
    list.AddRecordLine(1);
    list.AddItem("twelve chars");
    list.AddRecordLine(2);
    list.AddRecordLine(3);
    constexpr std::size_t Line = platform::ListBox::RecordLineCapacity;
    EXPECT_EQ(ListBoxWriting::LinesFitting(list, 0, Line - 1), 0);
    EXPECT_EQ(ListBoxWriting::LinesFitting(list, 0, Line + 12), 1);
    EXPECT_EQ(ListBoxWriting::LinesFitting(list, 0, Line + 13), 2);
    EXPECT_EQ(ListBoxWriting::LinesFitting(list, 1, 1000), 4);
    EXPECT_EQ(ListBoxWriting::RecordLineCount(list), 3);
    std::array<char, 4 * Line> room{};
    const char* end = ListBoxWriting::WriteLineRange(list, room.data(), 1, 4);
    EXPECT_EQ(std::string_view(room.data(), end), "twelve chars\nrecord 2\nrecord 3\n");
    EXPECT_EQ(ListBoxWriting::WriteLineRange(list, room.data(), 2, 2), room.data());
    EXPECT_THROW(ListBoxWriting::WriteLineRange(list, room.data(), 3, 5), FatalError);
}

TEST(ListBox, TipsOnlyWhereGivenAndOnlyForExistingLines) {
    platform::ListBox plain;
    plain.AddItem("in");
    platform::ListBox withTips;
    withTips.UseRecordLines(WriteTestRecords);
    withTips.AddRecordLine(7);
    withTips.AddRecordLine(3);
    withTips.UseTips(TestTip);
    EXPECT_FALSE(plain.HasTips());
    EXPECT_EQ(plain.Tip(0), "");
    EXPECT_EQ(withTips.Tip(1), "why 1");
    EXPECT_THROW(withTips.Tip(2), FatalError);
    EXPECT_THROW(plain.Tip(-1), FatalError);
}
