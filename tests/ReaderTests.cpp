#include "TestSupport.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <filesystem>
#include <gtest/gtest.h>

using testing_support::ScratchDir;

namespace {

// Reads `count` values from the content; an error ends the list early and
// is returned as its message.
struct ReadResult {
    std::vector<std::int32_t> values;
    std::string error;
};

ReadResult ReadValues(std::string_view content, int count) {
    const ScratchDir dir;
    ReadResult result;
    try {
        platform::SequentialFile file(dir.Write("Data.txt", content).string());
        for (int i = 0; i < count; ++i) {
            result.values.push_back(file.ReadValue());
        }
    } catch (const platform::FatalError& error) {
        result.error = error.what();
    }
    return result;
}

std::vector<std::int32_t> Values(std::string_view content, int count) {
    const ReadResult result = ReadValues(content, count);
    EXPECT_EQ(result.error, "");
    return result.values;
}

std::string ErrorOf(std::string_view content, int count) {
    return ReadValues(content, count).error;
}

using Values3 = std::vector<std::int32_t>;

} // namespace

TEST(SequentialFile, AcceptsEverySeparatorForm) {
    const Values3 expected{1, -2, 3};
    EXPECT_EQ(Values("1,-2,3", 3), expected);
    EXPECT_EQ(Values("1 -2\t3", 3), expected);
    EXPECT_EQ(Values("1\n-2\r\n3\r", 3), expected);
    EXPECT_EQ(Values("1\r-2\r3", 3), expected);
    EXPECT_EQ(Values("  1 ,\n -2,\r\n\r\n3,\n", 3), expected);
    EXPECT_EQ(Values("\"1\",\"-2\" \"+3\"", 3), expected);
    EXPECT_EQ(Values("\xEF\xBB\xBF"
                     "1,-2,3",
                     3),
              expected);
    EXPECT_EQ(Values("+1,-0002,0003", 3), expected);
}

TEST(SequentialFile, ReadsTheExtremesOf32Bits) {
    EXPECT_EQ(Values("2147483647 -2147483648", 2), (Values3{INT32_MAX, INT32_MIN}));
    EXPECT_NE(ErrorOf("2147483648", 1).find("outside the signed 32-bit range"), std::string::npos);
    EXPECT_NE(ErrorOf("-2147483649", 1).find("outside the signed 32-bit range"), std::string::npos);
    EXPECT_NE(ErrorOf("99999999999999999999999", 1).find("32-bit"), std::string::npos);
}

TEST(SequentialFile, RejectsWhatIsNotAWholeNumber) {
    for (const char* bad :
         {"abc", "1.5", "-", "+", "0x1F", "1e3", "\"5", "5\"", "\"\"", "--1", "\"5\"6", "12a"}) {
        const std::string error = ErrorOf(bad, 1);
        EXPECT_NE(error.find("is not a whole number"), std::string::npos) << bad << ": " << error;
    }
    EXPECT_NE(ErrorOf("1,2,x7", 3).find("\"x7\""), std::string::npos);
}

TEST(SequentialFile, ErrorsNameFileLineAndOrdinal) {
    const std::string error = ErrorOf("1,2\n3,\n4 oops", 5);
    EXPECT_NE(error.find("Data.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_NE(error.find("value 5"), std::string::npos) << error;
    EXPECT_NE(ErrorOf("1\r\n2\r\nx", 3).find("line 3"), std::string::npos);
}

TEST(SequentialFile, EmptyValueBetweenCommasIsAnError) {
    EXPECT_NE(ErrorOf("1,,2", 2).find("empty value"), std::string::npos);
    EXPECT_NE(ErrorOf("1, \n ,2", 2).find("empty value"), std::string::npos);
    EXPECT_NE(ErrorOf(",1", 1).find("empty value"), std::string::npos);
}

TEST(SequentialFile, LongTokensAreShortenedInTheReport) {
    const std::string digits(1 << 20, '7');
    const std::string error = ErrorOf(digits, 1);
    EXPECT_NE(error.find("32-bit"), std::string::npos);
    EXPECT_LT(error.size(), 200u);
}

TEST(SequentialFile, BinaryAndUtf16AreErrors) {
    EXPECT_NE(ErrorOf("\xFF\xFE"
                      "1\0"
                      "2\0",
                      1)
                  .find("UTF-16"),
              std::string::npos);
    EXPECT_NE(ErrorOf(std::string_view("1\0,2", 4), 2).find("NUL"), std::string::npos);
    EXPECT_NE(ErrorOf(std::string_view("\0\0\0\0", 4), 1).find("NUL"), std::string::npos);
    EXPECT_NE(ErrorOf("\x01\x80\xFE", 1).find("not a whole number"), std::string::npos);
}

TEST(SequentialFile, RejectedFilesAreClosed) {
    // A caller that survives the error (a test, a fuzzer) must not run out of
    // descriptors; the UTF-16 check raises from the constructor.
#ifdef _WIN32
    GTEST_SKIP() << "counts descriptors through /proc";
#endif
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = openDescriptors();
    for (int i = 0; i < 20; ++i) {
        ErrorOf("\xFF\xFE"
                "1\0",
                1);
        ErrorOf("1 x", 2);
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(SequentialFile, ReadsNothingBeyondWhatIsAsked) {
    EXPECT_EQ(Values("1 2 garbage ,,, \xFF", 2), (Values3{1, 2}));
}

TEST(SequentialFile, ValuesSpanningBlockBoundariesReadWhole) {
    std::string content;
    std::vector<std::int32_t> expected;
    for (std::int32_t i = 0; i < 30000; ++i) {
        content += std::to_string(i * 7919 - 100000) + (i % 3 == 0 ? ",\r\n" : " ");
        expected.push_back(i * 7919 - 100000);
    }
    EXPECT_EQ(Values(content, 30000), expected);
}

TEST(SequentialFile, MissingOrDirectoryIsAnErrorNamingIt) {
    const ScratchDir dir;
    EXPECT_THROW(platform::SequentialFile((dir.Path() / "none.txt").string()),
                 platform::FatalError);
    try {
        platform::SequentialFile file(dir.Path().string());
        FAIL();
    } catch (const platform::FatalError& error) {
        EXPECT_NE(std::string(error.what()).find(dir.Path().string()), std::string::npos);
    }
}
