// The reasons kept for rejected and unplaced records, in words, on the worked
// examples; and that nothing is kept unless asked for.

#include "Invariants.h"
#include "TestSupport.h"
#include "frmQuorvale.h"
#include "modQuorvale.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace modQuorvale;
using frmQuorvale::DescribeInput;
using frmQuorvale::DescribeNotPlaced;
using frmQuorvale::DescribeOutput;
using frmQuorvale::DescribeRejection;
using testing_support::Positions;
using testing_support::Record;
using testing_support::SetTable;

namespace {

using Ints = std::vector<std::int32_t>;
using Texts = std::vector<std::string>;

// Keeps reasons for one test, from a reset module and back to one.
class Reasons : public testing::Test {
protected:
    void SetUp() override {
        frmQuorvale::ResetForm();
        KeepReasons = true;
    }
    void TearDown() override { frmQuorvale::ResetForm(); }
};

void RunAll(const std::vector<Record>& rows) {
    SetTable(rows);
    ValidateAndSort();
    BuildGroups();
    PairGroups();
}

Texts RejectionTexts() {
    Texts texts;
    for (std::int32_t i = 0; i < RejectedList->Count(); ++i) {
        texts.push_back(DescribeRejection(i));
    }
    return texts;
}

Texts NotPlacedTexts() {
    Texts texts;
    for (std::int32_t i = 0; i < NotPlacedList->Count(); ++i) {
        texts.push_back(DescribeNotPlaced(i));
    }
    return texts;
}

// Sorted by Value2 already and valid, so that only grouping and pairing act.
std::vector<Record> PairingExample(std::int32_t value1OfKey40) {
    const std::int32_t v = value1OfKey40;
    return {{5, 1, 10},  {12, 1, 20}, {30, 1, 50}, {5, 2, 10},  {12, 2, 20},
            {14, 2, 30}, {5, 3, 10},  {5, 3, 10},  {v, 3, 40},  {5, 4, 10},
            {v, 4, 40},  {5, 5, 10},  {v, 5, 40},  {14, 6, 30}, {14, 7, 30}};
}

} // namespace

TEST_F(Reasons, ValidationWorkedExample) {
    SetTable({{5, 3, 10}, {9, 2, 20}, {5, 2, 10}, {60, 1, 30}, {8, 9, 20}, {7, 1, 40}});
    ValidateAndSort();
    ASSERT_EQ(Positions(*RejectedList), (Ints{2, 5, 0}));
    // Key 20 falls through the record with Value1 8, now at position 5; that
    // one names the record that found it. It is also out of range, but the
    // key rejected it first.
    EXPECT_EQ(RejectionTexts(), (Texts{"GroupKey 20 is used with Value1 9 and 8 (record [00005])",
                                       "GroupKey 20 is used with Value1 8 and 9 (record [00002])",
                                       "Value1 60 is outside 1 to 48"}));
}

TEST_F(Reasons, OutOfRangeNamesTheFieldThatFailed) {
    SetTable({{49, 2, 1}, {0, 9, 2}, {4, 8, 3}, {4, 0, 4}, {1, 1, 5}, {48, 7, 6}});
    ValidateAndSort();
    // In order of rejection; (0, 9) fails both tests, Value1 first.
    EXPECT_EQ(RejectionTexts(),
              (Texts{"Value1 49 is outside 1 to 48", "Value1 0 is outside 1 to 48",
                     "Value2 8 is outside 1 to 7", "Value2 0 is outside 1 to 7"}));
}

TEST_F(Reasons, OrderDecidesWhetherTheKeyOrTheRangeRejects) {
    // A = (5, 3, 10) before B = (60, 3, 10): A finds B, both go with the key.
    SetTable({{5, 3, 10}, {60, 3, 10}});
    ValidateAndSort();
    EXPECT_EQ(RejectionTexts(),
              (Texts{"GroupKey 10 is used with Value1 5 and 60 (record [00001])",
                     "GroupKey 10 is used with Value1 60 and 5 (record [00000])"}));
    // B before A: B falls alone for its range, A stays.
    SetTable({{60, 3, 10}, {5, 3, 10}});
    ValidateAndSort();
    EXPECT_EQ(RejectionTexts(), (Texts{"Value1 60 is outside 1 to 48"}));
}

TEST_F(Reasons, RestOfAKeyNamesTheRecordThatWasFound) {
    // Key 7: row 0 out of range on its own; row 1 is the first in range and
    // finds row 3; row 4 goes with the key. No row moves in the sort.
    SetTable({{0, 1, 7}, {5, 1, 7}, {5, 1, 8}, {6, 1, 7}, {9, 1, 7}});
    ValidateAndSort();
    ASSERT_EQ(Positions(*RejectedList), (Ints{0, 1, 3, 4}));
    EXPECT_EQ(RejectionTexts(), (Texts{"Value1 0 is outside 1 to 48",
                                       "GroupKey 7 is used with Value1 5 and 6 (record [00003])",
                                       "GroupKey 7 is used with Value1 6 and 5 (record [00001])",
                                       "GroupKey 7 is used with Value1 5 and 6 (record [00003])"}));
}

TEST_F(Reasons, PairingWorkedExample) {
    RunAll(PairingExample(18));
    ASSERT_EQ(Positions(*NotPlacedList), (Ints{2, 5, 13, 14, 7}));
    const std::string lone2 = "its group [00002] of 1 needed a group of 4: no later group of 4";
    const std::string three = "its group [00005] of 3 needed a group of 2: no later group of 2";
    EXPECT_EQ(NotPlacedTexts(),
              (Texts{lone2, three, three, three,
                     "its group [00007] of 1 needed a group of 4: no later group of 4"}));
}

TEST_F(Reasons, PairingVariantWithValue1Nineteen) {
    RunAll(PairingExample(19));
    ASSERT_EQ(Positions(*NotPlacedList), (Ints{1, 4, 2, 5, 13, 14, 7, 8, 10, 12}));
    const std::string lead = "its group [00001] of 2 needed a group of 3: none of the 2 later "
                             "groups of 3 qualified (1 outside Value1 6 to 18, 1 shares Value2 2)";
    const std::string lone2 = "its group [00002] of 1 needed a group of 4: no later group of 4";
    const std::string three = "its group [00005] of 3 needed a group of 2: no later group of 2";
    const std::string lone7 = "its group [00007] of 1 needed a group of 4: no later group of 4";
    const std::string last = "its group [00008] of 3 needed a group of 2: no later group of 2";
    EXPECT_EQ(NotPlacedTexts(),
              (Texts{lead, lead, lone2, three, three, three, lone7, last, last, last}));
}

TEST_F(Reasons, SingleCandidateSaysWhatItLacked) {
    // The lead (0, 1) needs three: (2, 3, 4) shares Value2 2, (5, 6) is of
    // the wrong size and is not counted.
    RunAll({{10, 1, 1}, {10, 2, 1}, {10, 2, 2}, {10, 3, 2}, {10, 4, 2}, {10, 5, 3}, {10, 6, 3}});
    ASSERT_EQ(Positions(*NotPlacedList), (Ints{0, 1}));
    EXPECT_EQ(DescribeNotPlaced(0), "its group [00000] of 2 needed a group of 3: the one later "
                                    "group of 3 did not qualify (it shares Value2 2)");

    // The same with the group of three at Value1 3: outside the window.
    RunAll({{10, 1, 1}, {10, 2, 1}, {3, 2, 2}, {3, 3, 2}, {3, 4, 2}, {10, 5, 3}, {10, 6, 3}});
    EXPECT_EQ(DescribeNotPlaced(1), "its group [00000] of 2 needed a group of 3: the one later "
                                    "group of 3 did not qualify (it lies outside Value1 4 to 16)");
}

TEST_F(Reasons, GroupsAlreadyTakenAreNotCounted) {
    // Groups (0, 1), (2, 3) and (4, 5, 6): (0, 1) takes (4, 5, 6); (2, 3)
    // then finds no group of three left, though one stood behind it at the
    // start.
    RunAll({{10, 1, 1}, {10, 2, 1}, {30, 3, 3}, {30, 4, 3}, {10, 5, 2}, {10, 6, 2}, {10, 7, 2}});
    ASSERT_EQ(Positions(*OutputLists), (std::vector<Ints>{{0, 1, 4, 5, 6}}));
    ASSERT_EQ(Positions(*NotPlacedList), (Ints{2, 3}));
    EXPECT_EQ(DescribeNotPlaced(0),
              "its group [00002] of 2 needed a group of 3: no later group of 3");
}

TEST_F(Reasons, FatesTellWhereEachRecordWent) {
    // As above, with a record rejected at the end.
    RunAll({{10, 1, 1},
            {10, 2, 1},
            {30, 3, 3},
            {30, 4, 3},
            {10, 5, 2},
            {10, 6, 2},
            {10, 7, 2},
            {60, 7, 9}});
    ASSERT_EQ(Positions(*RejectedList), (Ints{7}));
    EXPECT_EQ(DescribeInput(0), "placed in Output List 1, line 1");
    EXPECT_EQ(DescribeInput(5), "placed in Output List 1, line 4");
    EXPECT_EQ(DescribeInput(3), "not placed because its group [00002] of 2 needed a group of "
                                "3: no later group of 3");
    EXPECT_EQ(DescribeInput(7), "rejected because Value1 60 is outside 1 to 48");
    EXPECT_EQ(DescribeInput(8), "");
    // Every Describe takes its list's 0-based line index.
    EXPECT_EQ(DescribeRejection(0), "Value1 60 is outside 1 to 48");
    EXPECT_EQ(DescribeRejection(1), "");
    EXPECT_EQ(DescribeNotPlaced(1), DescribeNotPlaced(0));
    EXPECT_EQ(DescribeNotPlaced(2), "");
    EXPECT_EQ(DescribeNotPlaced(-1), "");
    // The output list's header and blank line tell nothing; each record line
    // names both groups.
    const std::string groups = "group [00000] of 2, completed by group [00004] of 3 (Value1 10 "
                               "and 10)";
    EXPECT_EQ(DescribeOutput(0), "");
    for (std::int32_t line = 1; line <= ListSize; ++line) {
        EXPECT_EQ(DescribeOutput(line), groups) << line;
    }
    EXPECT_EQ(DescribeOutput(ListSize + 1), "");
    EXPECT_EQ(DescribeOutput(ListSize + 3), "");
}

TEST_F(Reasons, FullGroupStandsAlone) {
    RunAll({{10, 1, 1}, {10, 2, 1}, {10, 3, 1}, {10, 4, 1}, {10, 5, 1}, {12, 6, 2}, {12, 7, 2}});
    EXPECT_EQ(OutputLeadSizes, std::vector<std::int8_t>{5});
    EXPECT_EQ(DescribeOutput(3), "a full group of 5");
    EXPECT_EQ(DescribeInput(4), "placed in Output List 1, line 5");
}

TEST_F(Reasons, SeveralSharedValuesAreListed) {
    // The lead (Value2 1, 2, 3, 4) needs one; of the four lone groups
    // behind it, three share 1, 3 and 3 with it, one lies outside the
    // window.
    RunAll({{20, 1, 1},
            {21, 1, 2},
            {20, 2, 1},
            {20, 3, 1},
            {22, 3, 3},
            {26, 3, 4},
            {20, 4, 1},
            {27, 5, 5}});
    ASSERT_EQ(Positions(*NotPlacedList).front(), 0);
    EXPECT_EQ(DescribeNotPlaced(0), "its group [00000] of 4 needed a group of 1: none of the 4 "
                                    "later groups of 1 qualified (1 outside Value1 14 to 26, 3 "
                                    "share Value2 1 or 3)");
}

TEST(ReasonsOff, NothingIsKeptUnlessAskedFor) {
    frmQuorvale::ResetForm();
    RunAll(PairingExample(19));
    EXPECT_EQ(NotPlacedList->Count(), 10);
    EXPECT_TRUE(NotPlacedReasons.empty());
    SetTable({{60, 1, 1}});
    ValidateAndSort();
    EXPECT_EQ(RejectedList->Count(), 1);
    EXPECT_TRUE(RejectedReasons.empty());
    EXPECT_EQ(DescribeRejection(0), "");
    EXPECT_TRUE(OutputLeadSizes.empty());
    EXPECT_EQ(DescribeInput(0), "");
    EXPECT_TRUE(frmQuorvale::RecordPlaces.empty());
}

TEST_F(Reasons, RunInvariantsCatchWrongReasons) {
    SetTable({{5, 3, 10}, {9, 2, 20}, {5, 2, 10}, {60, 1, 30}, {8, 9, 20}, {7, 1, 40}});
    ValidateAndSort();
    BuildGroups();
    PairGroups();
    ASSERT_EQ(testing_support::CheckRunInvariants(), "");
    ASSERT_FALSE(NotPlacedReasons.empty());
    RejectedReasons[0].otherRecord = 1; // a free record of another key
    EXPECT_NE(testing_support::CheckRunInvariants(), "");
    RejectedReasons[0].otherRecord = 5;
    ++NotPlacedReasons[0].size;
    EXPECT_NE(testing_support::CheckRunInvariants(), "");
    --NotPlacedReasons[0].size;
    NotPlacedReasons.pop_back();
    EXPECT_NE(testing_support::CheckRunInvariants(), "");
}
