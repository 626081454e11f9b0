#include "SequentialFile.h"
#include "TestSupport.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <span>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

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

// A regular file tells its size, which bounds what it can hold; standard
// input on a pipe does not.
TEST(SequentialFile, KnowsTheSizeOfARegularFileOnly) {
    const ScratchDir dir;
    const std::string content = "3\n1,2,3,4\n";
    platform::SequentialFile file(dir.Write("Data.txt", content).string());
    EXPECT_EQ(file.RegularFileSize(), static_cast<std::int64_t>(content.size()));
#ifndef _WIN32
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(ends[1]);
    const int saved = dup(0);
    dup2(ends[0], 0);
    {
        platform::SequentialFile input{std::string(platform::SequentialFile::StandardInputName)};
        EXPECT_EQ(input.RegularFileSize(), 0);
        EXPECT_EQ(input.ReadValue(), 3);
    }
    dup2(saved, 0);
    close(saved);
    close(ends[0]);
#endif
}

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

// Every length of digits, each sign and each separator, followed by
// characters that look like more digits or none: read back as written.
TEST(SequentialFile, ReadsValuesOfEveryLength) {
    std::vector<std::int32_t> expected;
    std::string content;
    const char* separators[] = {",", " ", "\n", "\t", "\r\n", ",  "};
    std::uint32_t seed = 1;
    for (int round = 0; round < 40; ++round) {
        for (std::int64_t power = 1; power <= 1'000'000'000; power *= 10) {
            seed = seed * 1103515245u + 12345u;
            const auto magnitude = static_cast<std::int32_t>(
                power == 1 ? seed % 10
                           : power + seed % (power * 9 < INT32_MAX ? power * 9 : power));
            const std::int32_t value = round % 2 == 0 ? magnitude : -magnitude;
            content += std::to_string(value) + separators[(round + power % 7) % 6];
            expected.push_back(value);
        }
    }
    content += "2147483647,-2147483648,0099,-0,7";
    for (const std::int32_t v : {INT32_MAX, INT32_MIN, 99, 0, 7}) {
        expected.push_back(v);
    }
    EXPECT_EQ(Values(content, static_cast<int>(expected.size())), expected);
    EXPECT_NE(ErrorOf("12345678901,", 1), "");
    EXPECT_NE(ErrorOf("2147483648,", 1), "");
    EXPECT_NE(ErrorOf("1234567a,", 1), "");
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

// Values read a record at a time are the values read one by one, and an
// error inside a record names the same line and ordinal.
TEST(SequentialFile, ValuesInGroupsReadAsOneByOne) {
    std::string content;
    for (int i = 0; i < 3000; ++i) {
        content += std::to_string(i * 7919 % 100003 - 50000) + (i % 4 == 3 ? "\r\n" : ", ");
    }
    const ScratchDir dir;
    const std::string path = dir.Write("Data.txt", content + "x").string();
    platform::SequentialFile file(path);
    const std::vector<std::int32_t> expected = Values(content, 3000);
    std::array<std::int32_t, 4> record{};
    for (std::size_t r = 0; r < expected.size() / 4; ++r) {
        file.ReadValues(record);
        for (std::size_t k = 0; k < 4; ++k) {
            ASSERT_EQ(record[k], expected[4 * r + k]) << r << ' ' << k;
        }
    }
    try {
        file.ReadValues(std::span(record).first(2));
        FAIL() << "read past the end";
    } catch (const platform::FatalError& error) {
        const std::string oneByOne = ErrorOf(content + "x", 3001);
        const std::string grouped = error.what();
        // The same words after the scratch folder's own name.
        EXPECT_EQ(grouped.substr(grouped.find("Data.txt")),
                  oneByOne.substr(oneByOne.find("Data.txt")));
    }
}

TEST(SequentialFile, EmptyValueBetweenCommasIsAnError) {
    EXPECT_NE(ErrorOf("1,,2", 2).find("empty value"), std::string::npos);
    EXPECT_NE(ErrorOf("1, \n ,2", 2).find("empty value"), std::string::npos);
    // Before any value there is nothing between commas.
    EXPECT_NE(ErrorOf(",1", 1).find("value 1: a comma before the first value"), std::string::npos);
}

TEST(SequentialFile, TokensWithQuotesAreQuotedUnambiguously) {
    EXPECT_NE(ErrorOf("\"\"\"", 1).find(R"("\"\"\"" is not a whole number)"), std::string::npos);
    EXPECT_NE(ErrorOf("\"1\\", 1).find(R"("\"1\x5C" is not a whole number)"), std::string::npos);
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
    EXPECT_NE(ErrorOf(std::string_view("\xFF\xFE\0\0"
                                       "1\0\0\0",
                                       8),
                      1)
                  .find("is UTF-32 text"),
              std::string::npos);
    EXPECT_NE(ErrorOf(std::string_view("\0\0\xFE\xFF\0\0\0"
                                       "1",
                                       8),
                      1)
                  .find("is UTF-32 text"),
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

// A value at the end of the file, shifted across the end of the first 64 KiB:
// it is read whole, and not run on into the digits that the fuller block
// before it left in the reader's memory.
TEST(SequentialFile, LastValueReadsAsWrittenWhereverItFalls) {
    for (const std::string tail : {"5", "-5", "0000000000000000000042", "\"7\"", "2147483647"}) {
        for (std::size_t shift = 0; shift <= 24; ++shift) {
            std::string content;
            std::vector<std::int32_t> expected;
            while (content.size() + 8 <= (1u << 16) - shift) {
                content += "9999999 ";
                expected.push_back(9999999);
            }
            content.append((1u << 16) - shift - content.size(), ' ');
            content += tail;
            expected.push_back(std::stoi(tail.substr(tail[0] == '"' ? 1 : 0)));
            const int count = static_cast<int>(expected.size());
            ASSERT_EQ(Values(content, count), expected) << tail << " shifted by " << shift;
            EXPECT_NE(ErrorOf(content, count + 1).find("the file ends after"), std::string::npos);
        }
    }
}

// A file of a megabyte or more, read as loading reads it (the count, then
// rows of four once the total is known), has its second half parsed ahead
// on another thread. Whatever that half holds, the values and the error
// must be those of reading the file one value at a time.
TEST(SequentialFile, SecondHalfReadAheadChangesNothing) {
    constexpr int Rows = 70000;
    std::string rows;
    for (int r = 0; r < Rows; ++r) {
        rows += std::to_string(r % 48 + 1) + ',' + std::to_string(r % 7 + 1) + ',' +
                std::to_string(r * 37 % 250000 - 9) + ',' + std::to_string(r % 1000) + '\n';
    }
    ASSERT_GT(rows.size(), std::size_t{1} << 20);
    // A line start in the second half, at a share of the rows.
    const auto lineAt = [&](double share) {
        return rows.find('\n', static_cast<std::size_t>(share * static_cast<double>(rows.size()))) +
               1;
    };
    const auto changed = [&](double share, std::string_view insert, std::size_t erase = 0) {
        std::string text = rows;
        text.replace(lineAt(share), erase, insert);
        return text;
    };
    std::string crlf = rows.substr(0, lineAt(0.8));
    for (std::size_t i = crlf.size(); i < rows.size(); ++i) {
        crlf += rows[i] == '\n' ? std::string("\r\n") : std::string(1, rows[i]);
    }
    const std::vector<std::pair<std::string, std::string>> variants = {
        {"plain", rows},
        {"CRLF from 80%", crlf},
        {"a blank line", changed(0.7, "\n")},
        {"a bad token", changed(0.9, "4x,")},
        {"a plus sign", changed(0.6, "+5,")},
        {"a quoted value", changed(0.75, "\"7\",")},
        {"a tab and two blanks", changed(0.65, "1\t2  3,4\n")},
        {"a value beyond 32 bits", changed(0.85, "99999999999,")},
        {"an empty value", changed(0.55, ",")},
        {"cut short", rows.substr(0, lineAt(0.95) - 7)},
        {"more values than needed", rows + "1,2,3,4\n5,6\n"},
        {"no final line end", rows.substr(0, rows.size() - 1)},
        {"garbage after the last", rows + "\xFF garbage"},
    };
    const ScratchDir dir;
    const int expected = 1 + 4 * Rows;
    // The count, then the rest one value at a time or in rows of four after
    // the total.
    const auto read = [&](const std::string& path, bool asLoaded) {
        ReadResult result;
        try {
            platform::SequentialFile file(path);
            result.values.push_back(file.ReadValue());
            std::array<std::int32_t, 4> row{};
            if (asLoaded) {
                file.ExpectValues(expected);
            }
            while (result.values.size() < static_cast<std::size_t>(expected)) {
                const std::size_t count = asLoaded ? row.size() : 1;
                file.ReadValues(std::span(row).first(count));
                result.values.insert(result.values.end(), row.begin(), row.begin() + count);
            }
        } catch (const platform::FatalError& error) {
            result.error = error.what();
        }
        return result;
    };
    for (const auto& [name, rest] : variants) {
        const std::string path = dir.Write("Data.txt", std::to_string(Rows) + '\n' + rest).string();
        ReadResult oneByOne = read(path, false);
        const ReadResult asLoaded = read(path, true);
        // Only the total tells how many values were needed.
        EXPECT_EQ(asLoaded.error.substr(0, asLoaded.error.find(", but ")),
                  oneByOne.error.substr(0, oneByOne.error.find("; another")))
            << name;
        // A row cut short by the error is not kept.
        ASSERT_LE(asLoaded.values.size(), oneByOne.values.size()) << name;
        EXPECT_LT(oneByOne.values.size() - asLoaded.values.size(), 4u) << name;
        oneByOne.values.resize(asLoaded.values.size());
        EXPECT_EQ(asLoaded.values, oneByOne.values) << name;
    }
#ifndef _WIN32
    // Standard input on a file that someone has read a line of already: the
    // half's offsets count from the file's start. Lines of one-digit values
    // put a separator after a value wherever a miscounted offset falls.
    std::string ones;
    for (int r = 0; r < Rows * 2; ++r) {
        ones += "1,2,3,4\n";
    }
    const std::string path =
        dir.Write("Data.txt", "9\n" + std::to_string(Rows * 2) + '\n' + ones).string();
    const int saved = dup(0);
    const int data = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(lseek(data, 2, SEEK_SET), 2);
    dup2(data, 0);
    // One value more than there is, so that the half serves whatever the
    // count of values left would allow.
    const std::int64_t total = 2 + std::int64_t{Rows} * 8;
    std::vector<std::int32_t> values;
    std::string error;
    try {
        platform::SequentialFile input{std::string(platform::StandardInputName)};
        values.push_back(input.ReadValue());
        input.ExpectValues(total);
        for (std::array<std::int32_t, 4> row{};;) {
            input.ReadValues(row);
            values.insert(values.end(), row.begin(), row.end());
        }
    } catch (const platform::FatalError& caught) {
        error = caught.what();
    }
    dup2(saved, 0);
    close(data);
    close(saved);
    EXPECT_EQ(error, "standard input: the file ends after " + std::to_string(total - 1) +
                         " values, but " + std::to_string(total) + " are needed");
    ASSERT_EQ(values.size(), static_cast<std::size_t>(total - 1));
    for (std::size_t i = 1; i < values.size(); ++i) {
        ASSERT_EQ(values[i], static_cast<std::int32_t>((i - 1) % 4 + 1)) << "value " << i;
    }
#endif
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

#ifndef _WIN32
namespace {

// A pipe whose writer stays open until the test is done, or until a
// watchdog gives up on the reader and closes it.
class HeldPipe {
public:
    HeldPipe() {
        EXPECT_EQ(pipe(fds_), 0);
        watchdog_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!done_.wait_for(lock, std::chrono::seconds(5), [this] { return finished_; })) {
                gaveUp_ = true;
                CloseWriter();
            }
        });
    }
    ~HeldPipe() {
        Finish();
        close(fds_[0]);
    }
    void Write(std::string_view bytes) {
        EXPECT_EQ(write(fds_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string ReaderPath() const { return "/dev/fd/" + std::to_string(fds_[0]); }
    // True if the reader had to be released by closing the writer.
    bool Finish() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
            CloseWriter();
        }
        done_.notify_all();
        if (watchdog_.joinable()) {
            watchdog_.join();
        }
        return gaveUp_;
    }

private:
    void CloseWriter() {
        if (fds_[1] >= 0) {
            close(fds_[1]);
            fds_[1] = -1;
        }
    }
    int fds_[2] = {-1, -1};
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool gaveUp_ = false;
    std::thread watchdog_;
};

} // namespace

TEST(SequentialFile, ValuesOnAPipeAreReadAsTheyArrive) {
    HeldPipe pipe;
    pipe.Write("\xEF\xBB\xBF"
               "3\n10,-20,30\n");
    platform::SequentialFile file(pipe.ReaderPath());
    std::vector<std::int32_t> values;
    for (int i = 0; i < 4; ++i) {
        values.push_back(file.ReadValue());
    }
    EXPECT_FALSE(pipe.Finish()) << "the reader waited for the writer to close";
    EXPECT_EQ(values, (std::vector<std::int32_t>{3, 10, -20, 30}));
}

TEST(SequentialFile, BadValueOnAPipeIsReportedAsItArrives) {
    HeldPipe pipe;
    pipe.Write("1 abc\n");
    std::string error;
    try {
        platform::SequentialFile file(pipe.ReaderPath());
        file.ReadValue();
        file.ReadValue();
    } catch (const platform::FatalError& caught) {
        error = caught.what();
    }
    EXPECT_FALSE(pipe.Finish()) << "the reader waited for the writer to close";
    EXPECT_NE(error.find("\"abc\" is not a whole number"), std::string::npos) << error;
}

TEST(SequentialFile, ByteOrderMarkArrivingInPiecesIsStillSeen) {
    HeldPipe pipe;
    std::thread writer([&] {
        pipe.Write("\xFF");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pipe.Write(std::string_view("\xFE\0\0", 3));
    });
    std::string error;
    try {
        platform::SequentialFile file(pipe.ReaderPath());
    } catch (const platform::FatalError& caught) {
        error = caught.what();
    }
    writer.join();
    EXPECT_FALSE(pipe.Finish());
    EXPECT_NE(error.find("UTF-32"), std::string::npos) << error;
}
#endif
