#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace modQuorvale;
using testing_support::LoadError;
using testing_support::LoadFromText;
using testing_support::Record;
using testing_support::TableRows;

namespace {

const std::vector<Record> ExampleTable{{5, 3, 10, 1}, {50, 2, 11, 2}, {6, 1, 10, 3}, {7, 4, 12, 4}};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(LoadRecords, ExampleLoadsTheSameInEveryLayout) {
    const char* layouts[] = {
        "4\n5,3,10,1\n50,2,11,2\n6,1,10,3\n7,4,12,4\n",
        "4 5 3 10 1 50 2 11 2 6 1 10 3 7 4 12 4",
        "4\n5\n3\n10\n1\n50\n2\n11\n2\n6\n1\n10\n3\n7\n4\n12\n4",
        "4\r\n5,3,10,1\r\n50,2,11,2\r\n6,1,10,3\r\n7,4,12,4\r\n",
        "4\n5,3,10,1\n50,2,11,2\n6,1,10,3\n7,4,12,4\n8,8,8,8\n\nnot numbers at all ,,\x01",
    };
    for (const char* layout : layouts) {
        LoadFromText(layout);
        EXPECT_EQ(RecordCount, 4);
        EXPECT_EQ(TableRows(), ExampleTable) << layout;
    }
}

TEST(LoadRecords, ZeroCountGivesAnEmptyTable) {
    LoadFromText("0 this is never read");
    EXPECT_EQ(RecordCount, 0);
    EXPECT_TRUE(TableRows().empty());
}

TEST(LoadRecords, BadCountsAreErrors) {
    EXPECT_TRUE(Contains(LoadError("-1"), "negative"));
    EXPECT_TRUE(Contains(LoadError("-2147483648"), "overflow"));
    EXPECT_TRUE(Contains(LoadError("-2147483648"), "Data.txt"));
    EXPECT_TRUE(Contains(LoadError("4294967296 1 2 3 4"), "32-bit"));
    EXPECT_TRUE(Contains(LoadError(""), "Data.txt"));
    EXPECT_TRUE(Contains(LoadError("   \n\t "), "ends after 0 values"));
}

TEST(LoadRecords, ShortFileSaysFoundAndNeeded) {
    const std::string error = LoadError("2\n1,2,3,4\n5,6,7");
    EXPECT_TRUE(Contains(error, "Data.txt")) << error;
    EXPECT_TRUE(Contains(error, "8 values")) << error;
    EXPECT_TRUE(Contains(error, "9 are needed")) << error;
}

TEST(LoadRecords, HugeCountInShortFileFailsWithoutHugeTable) {
    // Would need 40 GB if the table were allocated up front.
    const std::string error = LoadError("2000000000\n1,2,3,4\n");
    EXPECT_TRUE(Contains(error, "8000000001 are needed")) << error;
}

TEST(LoadRecords, KeepsOutOfRangeValuesUnchanged) {
    LoadFromText("2  0,-9,2147483647,-2147483648   49,8,-1,0");
    EXPECT_EQ(TableRows(), (std::vector<Record>{{0, -9, INT32_MAX, INT32_MIN}, {49, 8, -1, 0}}));
}

TEST(LoadRecords, ErrorInAFieldNamesItsOrdinal) {
    const std::string error = LoadError("1\n1,2,3.5,4");
    EXPECT_TRUE(Contains(error, "line 2")) << error;
    EXPECT_TRUE(Contains(error, "value 4")) << error;
    EXPECT_TRUE(Contains(error, "\"3.5\" is not a whole number")) << error;
}
