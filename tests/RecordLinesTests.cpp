#include "TestSupport.h"
#include "frmQuorvale.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <gtest/gtest.h>

using namespace modQuorvale;
using frmQuorvale::FormatRecordLine;
using testing_support::SetTable;

namespace {

std::vector<std::string> Lines(const platform::Form& form, std::string_view list) {
    const platform::ListBox& box = form.ListBoxNamed(list);
    std::vector<std::string> lines;
    for (std::int32_t i = 0; i < box.ListCount(); ++i) {
        lines.emplace_back(box.List(i));
    }
    return lines;
}

PositionList ListOf(std::initializer_list<std::int32_t> positions) {
    PositionList list;
    for (std::int32_t p : positions) {
        list.Add(p);
    }
    return list;
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
}

TEST(FillLists, WorkedExampleGivesTheStatedLines) {
    SetTable({{12, 1, 4}, {12, 2, 4}, {99, 2, 8}, {12, 3, 4}, {12, 5, 4}, {7, 6, -1}, {12, 7, 4}});
    OutputLists.emplace();
    OutputLists->Add(ListOf({0, 1, 3, 4, 6}));
    NotPlacedList = ListOf({5});
    RejectedList = ListOf({2});

    platform::Form form(frmQuorvale::Layout());
    frmQuorvale::FillLists(form);

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

TEST(FillLists, ShowsCollectionsAsTheyAreWithoutSortingOrMerging) {
    SetTable({{1, 1, 1}, {2, 2, 2}});
    OutputLists.emplace();
    OutputLists->Add(ListOf({}));
    OutputLists->Add(ListOf({1, 0}));
    NotPlacedList = ListOf({1, 1});
    RejectedList = ListOf({});

    platform::Form form(frmQuorvale::Layout());
    frmQuorvale::FillLists(form);

    EXPECT_EQ(Lines(form, "lstOutput"),
              (std::vector<std::string>{"Output List 1", " ", "Output List 2", "[00001]   2-2-2",
                                        "[00000]   1-1-1", " "}));
    EXPECT_EQ(Lines(form, "lstNotPlaced"),
              (std::vector<std::string>{"[00001]   2-2-2", "[00001]   2-2-2"}));
    EXPECT_TRUE(Lines(form, "lstErrors").empty());
}

TEST(FillLists, EmptyResultsLeaveListsEmpty) {
    SetTable({});
    OutputLists.emplace();
    NotPlacedList.emplace();
    RejectedList.emplace();
    platform::Form form(frmQuorvale::Layout());
    frmQuorvale::FillLists(form);
    for (const char* list : {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors"}) {
        EXPECT_TRUE(Lines(form, list).empty()) << list;
    }
}

TEST(FillLists, PositionOutsideTheTableIsFatal) {
    SetTable({{1, 1, 1}});
    OutputLists.emplace();
    NotPlacedList = ListOf({1});
    RejectedList.emplace();
    platform::Form form(frmQuorvale::Layout());
    EXPECT_THROW(frmQuorvale::FillLists(form), platform::FatalError);
}

// Form_Load fills two lists while the groups are built on a large table; the
// lines must be those of the stages followed by FillLists.
TEST(FormLoad, LargeTableGivesTheLinesOfTheStagesInTurn) {
    testing_support::ScratchDir dir;
    std::string content = "9000\n";
    for (int i = 0; i < 9000; ++i) {
        const int key = (i * 7919) % 2300;
        const int value1 = i % 97 == 0 ? 60 : 1 + key % 48;
        content += std::to_string(value1) + "," + std::to_string(1 + (i * 31) % 9) + "," +
                   std::to_string(key) + ",0\n";
    }
    platform::CloseAllFiles(); // as the start routine leaves things after a failed load
    platform::RedirectFile(DataFileName, dir.Write("Data.txt", content).string());
    platform::Form loaded(frmQuorvale::Layout());
    frmQuorvale::Form_Load(loaded);
    platform::Form inTurn(frmQuorvale::Layout());
    frmQuorvale::FillLists(inTurn);

    for (const char* list : {"lstInput", "lstOutput", "lstNotPlaced", "lstErrors"}) {
        EXPECT_GT(loaded.ListBoxNamed(list).ListCount(), 0) << list;
        EXPECT_EQ(loaded.ListBoxNamed(list).AllLines(), inTurn.ListBoxNamed(list).AllLines())
            << list;
    }
}
