#include "FileNumbers.h"
#include "ListBoxContents.h"
#include "TestSupport.h"
#include "TextMode.h"
#include "frmQuorvale.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace modQuorvale;
using frmQuorvale::FormatRecordLine;
using testing_support::SetTable;
using testing_support::WrittenText;

namespace {

std::vector<std::string> Lines(const platform::Form& form, std::string_view list) {
    const platform::ListBox& box = form.ListBoxNamed(list);
    std::vector<std::string> lines;
    for (std::int32_t i = 0; i < box.ListCount(); ++i) {
        lines.emplace_back(box.List(i));
    }
    return lines;
}

} // namespace

TEST(FormatRecordLine, PadsPositionAndJoinsFields) {
    SetTable({{3, -2, -7}, {12, 1, 4}, {INT32_MIN, 0, INT32_MAX}});
    EXPECT_EQ(FormatRecordLine(0), "[00000]   3--2--7");
    EXPECT_EQ(FormatRecordLine(1), "[00001]   12-1-4");
    EXPECT_EQ(FormatRecordLine(2), "[00002]   -2147483648-0-2147483647");
    EXPECT_THROW(FormatRecordLine(3), platform::FatalError);
    EXPECT_THROW(FormatRecordLine(-1), platform::FatalError);
}

TEST(FormatRecordLine, SixDigitPositionsAreWrittenInFull) {
    SetTable(std::vector<testing_support::Record>(123457, {1, 2, 3}));
    EXPECT_EQ(FormatRecordLine(42), "[00042]   1-2-3");
    EXPECT_EQ(FormatRecordLine(99999), "[99999]   1-2-3");
    EXPECT_EQ(FormatRecordLine(123456), "[123456]   1-2-3");
    // The reasons name records as their lines begin.
    EXPECT_EQ(frmQuorvale::RecordName(42), "[00042]");
    EXPECT_EQ(frmQuorvale::RecordName(123456), "[123456]");
}

// Runs the window's load handler on this data file.
void LoadForm(platform::Form& form, const std::string& content) {
    testing_support::ScratchDir dir;
    platform::CloseAllFiles(); // as the start routine leaves things after a failed load
    platform::RedirectFile(DataFileName, dir.Write("Data.txt", content).string());
    frmQuorvale::Form_Load(form);
}

TEST(FormLoad, WorkedExampleGivesTheStatedLines) {
    platform::Form form(frmQuorvale::Layout());
    LoadForm(form, "7\n12,1,4,0\n12,2,4,0\n99,2,8,0\n12,3,4,0\n12,5,4,0\n7,6,-1,0\n12,7,4,0\n");

    EXPECT_EQ(Lines(form, "lstInput"),
              (std::vector<std::string>{"[00000]   12-1-4", "[00001]   12-2-4", "[00002]   99-2-8",
                                        "[00003]   12-3-4", "[00004]   12-5-4", "[00005]   7-6--1",
                                        "[00006]   12-7-4"}));
    EXPECT_EQ(Lines(form, "lstOutput"),
              (std::vector<std::string>{"Output List 1", "[00000]   12-1-4", "[00001]   12-2-4",
                                        "[00003]   12-3-4", "[00004]   12-5-4", "[00006]   12-7-4",
                                        " "}));
    EXPECT_EQ(Lines(form, "lstNotPlaced"), (std::vector<std::string>{"[00005]   7-6--1"}));
    EXPECT_EQ(Lines(form, "lstErrors"), (std::vector<std::string>{"[00002]   99-2-8"}));
}

TEST(FormLoad, EmptyResultsLeaveListsEmpty) {
    platform::Form form(frmQuorvale::Layout());
    LoadForm(form, "0\n");
    for (const char* list : {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors"}) {
        EXPECT_TRUE(Lines(form, list).empty()) << list;
    }
}

// The lists keep record lines by position: each must name the record the
// stages put there, in the stages' order, with headings and blank lines as
// literal text between the output lists.
TEST(FormLoad, LargeTableListsTheRecordsOfTheStagesInOrder) {
    std::string content = "9000\n";
    for (int i = 0; i < 9000; ++i) {
        const int key = (i * 7919) % 2300;
        const int value1 = i % 97 == 0 ? 60 : 1 + key % 48;
        content += std::to_string(value1) + "," + std::to_string(1 + (i * 31) % 9) + "," +
                   std::to_string(key) + ",0\n";
    }
    platform::Form form(frmQuorvale::Layout());
    LoadForm(form, content);

    using platform::ListBoxContents;
    using Kind = ListBoxContents::LineKind;
    auto expectRecords = [&](const char* name, const std::vector<std::int32_t>& positions) {
        const platform::ListBox& list = form.ListBoxNamed(name);
        ASSERT_EQ(list.ListCount(), static_cast<std::int32_t>(positions.size())) << name;
        for (std::int32_t i = 0; i < list.ListCount(); ++i) {
            ASSERT_EQ(ListBoxContents::KindOf(list, i), Kind::Record) << name << ' ' << i;
            ASSERT_EQ(ListBoxContents::RecordOf(list, i), positions[static_cast<std::size_t>(i)])
                << name << ' ' << i;
        }
    };
    std::vector<std::int32_t> all(9000);
    for (std::int32_t p = 0; p < 9000; ++p) {
        all[static_cast<std::size_t>(p)] = p;
    }
    expectRecords("lstInput", all);
    expectRecords("lstNotPlaced", testing_support::Positions(*NotPlacedList));
    expectRecords("lstErrors", testing_support::Positions(*RejectedList));
    EXPECT_GT(RejectedList->Count(), 0);
    EXPECT_GT(NotPlacedList->Count(), 0);

    const platform::ListBox& output = form.ListBoxNamed("lstOutput");
    ASSERT_GT(OutputLists->Count(), 0);
    ASSERT_EQ(output.ListCount(), OutputLists->Count() * (ListSize + 2));
    std::int32_t line = 0;
    for (std::int32_t k = 1; k <= OutputLists->Count(); ++k) {
        EXPECT_EQ(ListBoxContents::KindOf(output, line), Kind::Text);
        EXPECT_EQ(output.List(line++), "Output List " + std::to_string(k));
        for (const std::int32_t position : OutputLists->Item(k).Items()) {
            EXPECT_EQ(ListBoxContents::RecordOf(output, line), position);
            EXPECT_EQ(output.List(line++), FormatRecordLine(position));
        }
        EXPECT_EQ(output.List(line++), " ");
    }
}

// The program's own record lines, made on two threads from the loaded
// table, with and without tips, come out as on one.
TEST(FormLoad, TextOnTwoThreadsAsOnOne) {
    std::string content = "30000\n";
    for (int i = 0; i < 30000; ++i) {
        const int key = (i * 7919) % 7700;
        content += std::to_string(i % 89 == 0 ? 0 : 1 + key % 48) + "," +
                   std::to_string(1 + (i * 31) % 9) + "," + std::to_string(key) + ",0\n";
    }
    for (const bool why : {false, true}) {
        platform::Form form(frmQuorvale::Layout(), why);
        LoadForm(form, content);
        bool written = false;
        const std::string oneThread = WrittenText(form, written, "Reasons:", {INT32_MAX, 1 << 16});
        EXPECT_TRUE(written);
        EXPECT_GT(oneThread.size(), 30000u * 16);
        EXPECT_EQ(WrittenText(form, written, "Reasons:", {1, 1000}), oneThread);
        EXPECT_TRUE(written);
        EXPECT_EQ(WrittenText(form, written, "Reasons:", {1, 1 << 16}), oneThread);
    }
}

// Reasons are kept only for a form that shows tips, and then every list's
// record lines tell them.
TEST(FormLoad, TipsOnEveryListOnlyWhenShown) {
    const std::string data = "7\n12,1,4,0\n12,2,4,0\n99,2,8,0\n12,3,4,0\n12,5,4,0\n7,6,-1,0\n"
                             "12,7,4,0\n";
    platform::Form plain(frmQuorvale::Layout());
    LoadForm(plain, data);
    EXPECT_FALSE(KeepReasons);
    EXPECT_TRUE(RejectedReasons.empty());
    for (const char* list : {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors"}) {
        EXPECT_FALSE(plain.ListBoxNamed(list).HasTips()) << list;
    }

    platform::Form shown(frmQuorvale::Layout(), true);
    LoadForm(shown, data);
    EXPECT_EQ(shown.ListBoxNamed("lstInput").Tip(6), "placed in Output List 1, line 5");
    EXPECT_EQ(shown.ListBoxNamed("lstOutput").Tip(5), "a full group of 5");
    EXPECT_EQ(shown.ListBoxNamed("lstOutput").Tip(6), "");
    EXPECT_EQ(shown.ListBoxNamed("lstNotPlaced").Tip(0),
              "its group [00005] of 1 needed a group of 4: no later group of 4");
    EXPECT_EQ(shown.ListBoxNamed("lstErrors").Tip(0), "Value1 99 is outside 1 to 48");
    ResetModule();
}
