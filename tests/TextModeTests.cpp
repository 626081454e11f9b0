// Text mode: the lists through a fixed buffer, a long list on two threads
// (or on one when a second can't be had), and what ends a text run early.

#include "FileNumbers.h"
#include "ListBoxWriting.h"
#include "SanitizerAllocator.h"
#include "StartRoutine.h"
#include "TestSupport.h"
#include "TextMode.h"
#include "frmQuorvale.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"
#include "platform/Text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <new>
#include <thread>

using testing_support::WrittenText;

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

std::string TestTip(std::int32_t index) {
    return "why " + std::to_string(index);
}

// Three lines, only the last two lists with tips.
platform::Form FormWithTips(bool showsTips) {
    platform::Form form(frmQuorvale::Layout(), showsTips);
    form.ListBoxNamed("lstInput").AddItem("in");
    platform::ListBox& notPlaced = form.ListBoxNamed("lstNotPlaced");
    notPlaced.UseRecordLines(WriteSharedRecords);
    notPlaced.AddRecordLine(7);
    notPlaced.AddRecordLine(3);
    notPlaced.UseTips(TestTip);
    platform::ListBox& errors = form.ListBoxNamed("lstErrors");
    errors.AddItem("bad");
    errors.UseTips(TestTip);
    return form;
}

} // namespace

// Text mode goes out through a fixed buffer: lines that straddle its end,
// and a line longer than the buffer, must come out whole and in order.
TEST(TextMode, WritesEveryLineAcrossChunks) {
    platform::Form form(frmQuorvale::Layout());
    platform::ListBox& input = form.ListBoxNamed("lstInput");
    input.UseRecordLines(WriteSharedRecords);
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
    const std::int32_t outputRecords =
        platform::ListBoxWriting::RecordLineCount(form.ListBoxNamed("lstOutput"));
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

namespace {

int NoThread(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*) {
    return EAGAIN;
}

} // namespace

// A second thread is not always to be had (a limit on processes, or on
// address space for its stack), nor room for its blocks: the list then goes
// out on one thread, the same bytes.
TEST(TextModeTwoThreads, OneThreadWhenTheSecondCannotBeHad) {
    std::string expected;
    const platform::Form form = LongForm(20000, 7, expected);
    platform::TextWriting noThread{1, 4096};
    noThread.startThread = NoThread;
    std::vector<platform::TextWriting> denied{noThread};
    // Sanitizers end the run rather than fail so large an allocation.
    if (!platform::SanitizerAllocator) {
        denied.push_back({1, SIZE_MAX / 2});
    }
    for (const platform::TextWriting& how : denied) {
        StartCounting();
        bool written = false;
        EXPECT_EQ(WrittenText(form, written, {}, how), expected) << how.blockRoom;
        EXPECT_TRUE(written);
        EXPECT_EQ(sharedLinesMade, 40000) << "each line made once";
        EXPECT_EQ(linesMadeElsewhere, 0);
    }
}

namespace {

std::string NoMemoryForTips(std::int32_t) {
    throw std::bad_alloc();
}

// A project as the program's is: its load opens and reads the data file,
// then fills the lists.
platform::ProjectDescription TestProject(void (*fill)(platform::Form&)) {
    platform::ProjectDescription project;
    project.name = "quorvale";
    project.dataFileName = "Data.txt";
    project.tipsCaption = "Reasons:";
    project.startupForm = frmQuorvale::Layout();
    project.load = [fill](platform::Form& form) {
        platform::OpenForInput("Data.txt", 1);
        platform::InputValue(1);
        platform::CloseFile(1);
        fill(form);
    };
    return project;
}

struct Ending {
    int status;
    std::string errors;
};

Ending RunText(const platform::ProjectDescription& project, std::vector<std::string> arguments,
               const platform::EngineOpener& openEngine = nullptr) {
    const testing_support::ScratchDir dir;
    arguments.insert(arguments.begin(), "quorvale");
    arguments.push_back(dir.Write("Data.txt", "1\n").string());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    platform::CloseAllFiles(); // as a fresh process has them
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status =
        platform::RunProgram(project, static_cast<int>(arguments.size()), argv.data(), openEngine);
    std::fflush(stdout);
    testing::internal::GetCapturedStdout();
    return {status, testing::internal::GetCapturedStderr()};
}

} // namespace

// Memory that runs out once the lists are being written is the writing's,
// not the data file's, which is long closed; while the data is processed,
// the file is named.
TEST(StartRoutine, MemoryRunningOutIsReportedWithWhatWasBuilt) {
    const Ending writing = RunText(TestProject([](platform::Form& form) {
                                       form.ListBoxNamed("lstErrors").AddItem("bad");
                                       form.ListBoxNamed("lstErrors").UseTips(NoMemoryForTips);
                                   }),
                                   {"--text", "--why"});
    EXPECT_EQ(writing.status, 1);
    EXPECT_EQ(writing.errors, "quorvale: out of memory while writing the lists\n");

    const Ending loading = RunText(TestProject([](platform::Form&) {
                                       const platform::Building building("loading 1 records");
                                       throw std::bad_alloc();
                                   }),
                                   {"--text"});
    EXPECT_EQ(loading.status, 1);
    EXPECT_EQ(loading.errors, "quorvale: " + platform::LastOpenedName() +
                                  ": out of memory while loading 1 records\n");
}

namespace {

// An engine that only notes what it was asked to do.
class NotingEngine : public platform::WindowEngine {
public:
    explicit NotingEngine(std::vector<std::string>& notes) : notes_(notes) {}
    std::string Open(int&, char**) override { return ""; }
    void ShowFailure(const std::string& message) override { notes_.push_back(message); }
    std::string ShowForm(const platform::Form&) override {
        notes_.push_back("shown");
        return "";
    }
    int Run() override { return 0; }

private:
    std::vector<std::string>& notes_;
};

} // namespace

// A record line with no writer to make it fails as the load ends, before a
// window could try to paint it or a second thread to write it.
TEST(StartRoutine, RecordLineWithoutWriterFailsAtTheLoad) {
    const auto project = TestProject([](platform::Form& form) {
        form.ListBoxNamed("lstNotPlaced").AddItem("heading");
        form.ListBoxNamed("lstNotPlaced").AddRecordLine(3);
    });
    std::vector<std::string> notes;
    const Ending window = RunText(project, {}, [&](const platform::EngineHost&, std::string&) {
        return std::make_unique<NotingEngine>(notes);
    });
    const std::string message = "list box line for record 3 has no way to be shown";
    EXPECT_EQ(window.status, 1);
    EXPECT_EQ(window.errors, "quorvale: " + message + "\n");
    EXPECT_EQ(notes, std::vector<std::string>{message});
}
