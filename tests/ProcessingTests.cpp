#include "Invariants.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <random>

using namespace modQuorvale;
using testing_support::Positions;
using testing_support::Record;
using testing_support::SetTable;
using testing_support::TableRows;

namespace {

using Lists = std::vector<std::vector<std::int32_t>>;
using Ints = std::vector<std::int32_t>;
constexpr std::int32_t R = StatusRejected;
constexpr std::int32_t G = StatusGrouped;

// Rows (Value1, Value2, GroupKey) that are already sorted by Value2, so that
// the sort leaves them where they are.
std::vector<Record> GroupingExample() {
    return {{5, 1, 10},  {12, 1, 20}, {30, 1, 50}, {5, 2, 10},  {12, 2, 20},
            {14, 2, 30}, {5, 3, 10},  {5, 3, 10},  {18, 3, 40}, {5, 4, 10},
            {18, 4, 40}, {5, 5, 10},  {18, 5, 40}, {14, 6, 30}, {14, 7, 30}};
}

void RunStages(const std::vector<Record>& rows) {
    SetTable(rows);
    ValidateAndSort();
    BuildGroups();
}

Lists PendingPositions() {
    return Positions(*PendingGroups);
}

} // namespace

TEST(ValidateAndSort, WorkedExample) {
    SetTable({{5, 3, 10, 11},
              {9, 2, 20, 12},
              {5, 2, 10, 13},
              {60, 1, 30, 14},
              {8, 9, 20, 15},
              {7, 1, 40, 16}});
    ValidateAndSort();
    EXPECT_EQ(TableRows(), (std::vector<Record>{{60, 1, 30, 14, R},
                                                {7, 1, 40, 16, 0},
                                                {9, 2, 20, 12, R},
                                                {5, 2, 10, 13, 0},
                                                {5, 3, 10, 11, 0},
                                                {8, 9, 20, 15, R}}));
    EXPECT_EQ(Positions(*RejectedList), (Ints{2, 5, 0}));
    EXPECT_EQ(OutputLists->Count(), 0);
    EXPECT_EQ(NotPlacedList->Count(), 0);
}

TEST(ValidateAndSort, TiesChangeTheirOrder) {
    SetTable({{10, 2, 1}, {11, 2, 2}, {12, 1, 3}});
    ValidateAndSort();
    EXPECT_EQ(TableRows(), (std::vector<Record>{{12, 1, 3}, {11, 2, 2}, {10, 2, 1}}));
}

TEST(ValidateAndSort, OutOfRangeRecordRejectsItsKeyOnlyAfterTheFirstInRange) {
    SetTable({{5, 3, 10}, {60, 3, 10}});
    ValidateAndSort();
    EXPECT_EQ(Positions(*RejectedList), (Ints{0, 1}));

    SetTable({{60, 3, 10}, {5, 3, 10}});
    ValidateAndSort();
    EXPECT_EQ(Positions(*RejectedList), (Ints{0}));
    EXPECT_EQ(TableRows()[1].status, StatusFree);
}

TEST(ValidateAndSort, KeyRejectionKeepsEarlierOutOfRangeEntriesInPlace) {
    // Rows 0 and 2 are out of range alone; key 7 falls at row 1 because of row 3.
    SetTable({{0, 1, 7}, {5, 1, 7}, {5, 9, 8}, {6, 1, 7}, {5, 1, 7}});
    ValidateAndSort();
    EXPECT_EQ(Positions(*RejectedList).size(), 5u);
    EXPECT_EQ(RejectedList->Item(1), 0); // rejected first, for its range
    EXPECT_EQ(TableRows()[0], (Record{0, 1, 7, 0, R}));
    for (const Record& row : TableRows()) {
        EXPECT_EQ(row.status, R);
    }
}

TEST(ValidateAndSort, SameValue1AcrossAKeyIsNoConflictAndBoundsAreInclusive) {
    SetTable({{5, 1, 10},
              {5, 2, 10},
              {5, 9, 10},
              {1, 7, 11},
              {48, 1, 12},
              {0, 1, 13},
              {49, 1, 14},
              {1, 0, 15},
              {1, 8, 16}});
    ValidateAndSort();
    std::vector<std::int32_t> rejectedKeys;
    for (const std::int32_t p : RejectedList->Items()) {
        rejectedKeys.push_back(TableRows()[static_cast<std::size_t>(p)].groupKey);
    }
    std::sort(rejectedKeys.begin(), rejectedKeys.end());
    EXPECT_EQ(rejectedKeys, (Ints{10, 13, 14, 15, 16}));
}

TEST(IsInRange, BoundsAreInclusive) {
    SetTable({{1, 1, 0}, {48, 7, 0}, {0, 4, 0}, {49, 4, 0}, {4, 0, 0}, {4, 8, 0}});
    const std::vector<bool> expected{true, true, false, false, false, false};
    for (std::int32_t p = 0; p < RecordCount; ++p) {
        EXPECT_EQ(IsInRange(p), expected[static_cast<std::size_t>(p)]) << p;
    }
}

TEST(ValidateAndSort, EveryRecordRejectedStillSorts) {
    SetTable({{0, 9, 1}, {0, -4, 2}, {99, 3, 3}, {0, 0, 4}});
    ValidateAndSort();
    EXPECT_EQ(RejectedList->Count(), 4);
    EXPECT_EQ(testing_support::CheckRunInvariants().find("decreases"), std::string::npos);
    const auto rows = TableRows();
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const Record& a, const Record& b) {
        return a.value2 < b.value2;
    }));
}

TEST(BuildGroups, WorkedExample) {
    RunStages(GroupingExample());
    EXPECT_EQ(PendingPositions(),
              (Lists{{0, 3, 6, 9, 11}, {1, 4}, {2}, {5, 13, 14}, {7}, {8, 10, 12}}));
    for (const Record& row : TableRows()) {
        EXPECT_EQ(row.status, G);
    }
}

TEST(BuildGroups, SizeLimitAndTwins) {
    // One key, seven Value2 values: five, then two.
    std::vector<Record> seven;
    for (std::int32_t v = 1; v <= 7; ++v) {
        seven.push_back({3, v, 9});
    }
    RunStages(seven);
    EXPECT_EQ(PendingPositions(), (Lists{{0, 1, 2, 3, 4}, {5, 6}}));

    // Three identical rows end in three groups.
    RunStages({{3, 1, 9}, {3, 1, 9}, {3, 1, 9}, {3, 2, 9}});
    EXPECT_EQ(PendingPositions(), (Lists{{0, 3}, {1}, {2}}));
}

TEST(BuildGroups, RejectedRowsArePassedOverAndNothingAcceptedGivesNoGroups) {
    RunStages({{3, 1, 9}, {50, 2, 8}, {3, 3, 9}});
    // The exchange sort leaves this order; row 1 is rejected alone.
    EXPECT_EQ(PendingPositions(), (Lists{{0, 2}}));
    EXPECT_EQ(TableRows()[1].status, R);

    RunStages({{0, 1, 1}, {0, 2, 2}});
    EXPECT_EQ(PendingGroups->Count(), 0);
}

TEST(PairGroups, WorkedExample) {
    RunStages(GroupingExample());
    PairGroups();
    EXPECT_EQ(Positions(*OutputLists), (Lists{{0, 3, 6, 9, 11}, {1, 4, 8, 10, 12}}));
    EXPECT_EQ(Positions(*NotPlacedList), (Ints{2, 5, 13, 14, 7}));
    EXPECT_FALSE(PendingGroups.has_value());
}

TEST(PairGroups, WorkedExampleOutsideTheWindow) {
    auto rows = GroupingExample();
    for (const std::size_t p : {8u, 10u, 12u}) {
        rows[p].value1 = 19;
    }
    RunStages(rows);
    PairGroups();
    EXPECT_EQ(Positions(*OutputLists), (Lists{{0, 3, 6, 9, 11}}));
    EXPECT_EQ(Positions(*NotPlacedList), (Ints{1, 4, 2, 5, 13, 14, 7, 8, 10, 12}));
}

TEST(PairGroups, WindowBoundsAreInclusiveBothWays) {
    for (const auto& [partnerValue1, pairs] : std::vector<std::pair<std::int32_t, bool>>{
             {18, true}, {6, true}, {19, false}, {5, false}}) {
        RunStages({{12, 1, 1},
                   {12, 2, 1},
                   {partnerValue1, 3, 2},
                   {partnerValue1, 4, 2},
                   {partnerValue1, 5, 2}});
        PairGroups();
        EXPECT_EQ(OutputLists->Count(), pairs ? 1 : 0) << partnerValue1;
        EXPECT_EQ(NotPlacedList->Count(), pairs ? 0 : 5) << partnerValue1;
    }
}

TEST(PairGroups, PassedOverGroupBecomesTheNextLeadsPartner) {
    RunStages({{10, 1, 1}, {10, 2, 1}, {10, 2, 2}, {10, 3, 2}, {10, 4, 2}, {10, 5, 3}, {10, 6, 3}});
    ASSERT_EQ(PendingPositions(), (Lists{{0, 1}, {2, 3, 4}, {5, 6}}));
    PairGroups();
    EXPECT_EQ(Positions(*NotPlacedList), (Ints{0, 1}));
    EXPECT_EQ(Positions(*OutputLists), (Lists{{2, 3, 4, 5, 6}}));
}

TEST(PairGroups, FirstQualifyingCandidateWinsOverACloserOne) {
    // Lead (0, 1) at Value1 10; candidates at 16 then 10, both of size three.
    RunStages({{10, 1, 1},
               {10, 2, 1},
               {16, 3, 2},
               {10, 3, 3},
               {16, 4, 2},
               {10, 4, 3},
               {16, 5, 2},
               {10, 5, 3}});
    ASSERT_EQ(PendingPositions(), (Lists{{0, 1}, {2, 4, 6}, {3, 5, 7}}));
    PairGroups();
    EXPECT_EQ(Positions(*OutputLists), (Lists{{0, 1, 2, 4, 6}}));
    EXPECT_EQ(Positions(*NotPlacedList), (Ints{3, 5, 7}));
}

TEST(PairGroups, GroupOfFiveIsNeverAPartnerAndConflictsBlock) {
    RunStages({{10, 1, 1}, {10, 1, 2}, {10, 2, 2}, {10, 3, 2}, {10, 4, 2}, {10, 5, 2}});
    ASSERT_EQ(PendingPositions(), (Lists{{0}, {1, 2, 3, 4, 5}}));
    PairGroups();
    EXPECT_EQ(Positions(*NotPlacedList), (Ints{0}));
    EXPECT_EQ(Positions(*OutputLists), (Lists{{1, 2, 3, 4, 5}}));

    // The single record's Value2 occurs in the only group of four.
    RunStages({{10, 1, 1}, {10, 1, 2}, {10, 2, 2}, {10, 3, 2}, {10, 4, 2}});
    PairGroups();
    EXPECT_EQ(Positions(*NotPlacedList), (Ints{0, 1, 2, 3, 4}));
    EXPECT_EQ(OutputLists->Count(), 0);
}

TEST(PairGroups, EmptyPendingGroupsIsReleased) {
    RunStages({});
    PairGroups();
    EXPECT_FALSE(PendingGroups.has_value());
    EXPECT_EQ(OutputLists->Count(), 0);
    EXPECT_EQ(NotPlacedList->Count(), 0);
}

// Small tables with few keys, so that conflicts, twins and pairs occur.
TEST(RunInvariants, HoldOnRandomTables) {
    int outputs = 0;
    int notPlaced = 0;
    for (std::uint32_t seed = 1; seed <= 1500; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        std::vector<Record> rows(static_cast<std::size_t>(pick(0, 40)));
        const int keys = pick(1, 6);
        for (auto& row : rows) {
            const int key = pick(1, keys);
            // Mostly one Value1 per key, sometimes another or out of range.
            row = {pick(0, 9) == 0 ? pick(-1, 50) : 8 + key * (pick(0, 15) == 0 ? 2 : 1),
                   pick(0, 12) == 0 ? pick(-2, 10) : pick(1, 7), key, pick(0, 99)};
        }
        // Every other run with reasons, which the invariants then check too.
        ResetModule();
        KeepReasons = seed % 2 == 1;
        RunStages(rows);
        PairGroups();
        ASSERT_EQ(testing_support::CheckRunInvariants(), "") << "seed " << seed;
        outputs += OutputLists->Count();
        notPlaced += NotPlacedList->Count();
    }
    ResetModule();
    // The generator must actually exercise pairing and leftovers.
    EXPECT_GT(outputs, 300);
    EXPECT_GT(notPlaced, 300);
}

// Large enough that grouping splits its work over two threads: the two
// halves' groups must come out as one list in seed order, each described by
// its facts, and the run's invariants must hold.
TEST(RunInvariants, HoldOnATableGroupedOnTwoThreads) {
    std::mt19937 random(7);
    auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    constexpr int Count = 150000;
    std::vector<Record> rows(Count);
    for (auto& row : rows) {
        const int key = pick(1, Count / 4);
        row = {pick(0, 60) == 0 ? pick(1, 48) : 1 + key % 48, pick(0, 70) == 0 ? 8 : pick(1, 7),
               key, 0};
    }
    ResetModule();
    KeepReasons = true;
    RunStages(rows);
    const Lists groups = PendingPositions();
    ASSERT_EQ(PendingFacts.size(), groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        ASSERT_TRUE(g == 0 || groups[g - 1].front() < groups[g].front()) << "group " << g;
        ASSERT_EQ(PendingFacts[g].size, static_cast<std::int32_t>(groups[g].size()));
        ASSERT_EQ(PendingFacts[g].value1, RecordTable.Get(groups[g].front(), Value1));
    }
    PairGroups();
    EXPECT_EQ(testing_support::CheckRunInvariants(), "");
    EXPECT_GT(OutputLists->Count(), Count / 10);
    ResetModule();
}

TEST(RunInvariants, CatchCorruptedResults) {
    RunStages(GroupingExample());
    PairGroups();
    ASSERT_EQ(testing_support::CheckRunInvariants(), "");
    NotPlacedList->Add(0);
    EXPECT_NE(testing_support::CheckRunInvariants(), "");
    NotPlacedList->Remove(NotPlacedList->Count());
    RecordTable.Set(14, Value2, 0);
    EXPECT_NE(testing_support::CheckRunInvariants(), "");
}
