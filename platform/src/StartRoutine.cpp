#include "TextMode.h"
#include "WindowEngine.h"
#include "platform/FatalError.h"
#include "platform/Form.h"
#include "platform/SequentialFile.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <string_view>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace platform {

namespace {

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

struct Options {
    bool text = false;
    bool help = false;
    bool version = false;
    std::optional<std::string> file;
};

// Standard output was closed when the program started; /dev/null stands in
// for it, but what is written there has not reached anyone.
bool standardOutputClosed = false;

// Whether everything written to standard output so far has reached it.
bool StandardOutputWritten() {
    if (standardOutputClosed) {
        errno = EBADF;
        return false;
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int ReportWriteFailure(const ProjectDescription& project, const char* what) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", project.name.c_str(), what,
                 std::strerror(errno));
    return ExitFailure;
}

void PrintHelp(const ProjectDescription& project) {
    std::printf("Usage: %s [--text] [FILE]\n"
                "%s\n\n"
                "Reads the records of FILE (default: %s in the working directory) and shows\n"
                "the four result lists in a window.\n\n"
                "Options:\n"
                "  --text      print the lists to standard output instead of opening a window\n"
                "  --help      show this help and exit\n"
                "  --version   show the version and exit\n\n"
                "Exit status: 0 on success, 1 on a fatal error, 2 on a usage error.\n",
                project.name.c_str(), project.summary.c_str(), project.dataFileName.c_str());
}

[[noreturn]] void UsageError(const ProjectDescription& project, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", project.name.c_str(),
                 message.c_str(), project.name.c_str());
    std::exit(ExitUsage);
}

Options ParseOptions(const ProjectDescription& project, int argc, char** argv) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--text") {
            options.text = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (!optionsEnded && (arg == "--version" || arg == "-V")) {
            options.version = true;
        } else if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            UsageError(project, "unknown option " + ShownName(arg));
        } else if (options.file) {
            UsageError(project, "only one data file may be given");
        } else {
            options.file = std::string(arg);
        }
    }
    return options;
}

int RunAsText(const ProjectDescription& project) {
    std::optional<Form> form;
    try {
        form.emplace(project.startupForm);
        project.load(*form);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", DescribeFailure(project, error).c_str());
        return ExitFailure;
    }
    if (!WriteFormAsText(*form, stdout) || !StandardOutputWritten()) {
        return ReportWriteFailure(project, "the lists");
    }
    return ExitSuccess;
}

int Run(const ProjectDescription& project, int argc, char** argv) {
    const Options options = ParseOptions(project, argc, argv);
    if (options.help) {
        PrintHelp(project);
        return StandardOutputWritten() ? ExitSuccess : ReportWriteFailure(project, "the help");
    }
    if (options.version) {
        std::printf("%s %s\n", project.name.c_str(), project.version.c_str());
        return StandardOutputWritten() ? ExitSuccess : ReportWriteFailure(project, "the version");
    }
    if (options.file) {
        RedirectFile(project.dataFileName, *options.file);
    }
    return options.text ? RunAsText(project) : RunFormWindow(project, argc, argv);
}

} // namespace

std::string DescribeFailure(const ProjectDescription& project, const std::exception& error) {
    const std::string building = TakeBuildingWhenFailed();
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
                             dynamic_cast<const std::length_error*>(&error) != nullptr;
    if (!outOfMemory) {
        return project.name + ": " + error.what();
    }
    // Which file, and what it was building: "Data.txt: out of memory while
    // loading 3000000 records".
    std::string report = project.name + ": ";
    if (!LastOpenedName().empty()) {
        report += LastOpenedName() + ": ";
    }
    report += "out of memory";
    if (!building.empty()) {
        report += " while " + building;
    }
    return report;
}

bool WriteFormAsText(const Form& form, std::FILE* out) {
    const auto& controls = form.Description().controls;
    bool first = true;
    for (const auto& frame : controls) {
        if (frame.kind != ControlKind::Frame) {
            continue;
        }
        std::string header = first ? "" : "\n";
        header += frame.caption + "\n";
        first = false;
        std::fwrite(header.data(), 1, header.size(), out);
        for (const auto& control : controls) {
            if (control.kind == ControlKind::ListBox && control.container == frame.name) {
                const std::string_view lines = form.ListBoxNamed(control.name).AllLines();
                std::fwrite(lines.data(), 1, lines.size(), out);
            }
        }
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}

namespace {

// With descriptor 0, 1 or 2 closed, the next file or socket opened would take
// its number: a report meant for standard error would then go into the data
// file or the display connection. /dev/null takes the place instead.
void ReopenClosedStandardStreams() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            standardOutputClosed = standardOutputClosed || fd == 1;
            const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            // open takes the lowest free number, which is fd itself.
            if (opened != fd && opened >= 0) {
                close(opened);
            }
        }
    }
#endif
}

// A run allocates and frees tables of many megabytes in turn. Left to the
// defaults, glibc maps each afresh and hands it back at once, and the
// kernel zeroes new pages every time; keeping freed memory for the next
// table saves that.
void KeepFreedMemory() {
#ifdef __GLIBC__
    constexpr int LargestHeapBlock = 32 << 20; // glibc's upper limit
    constexpr int KeptFreeTop = 256 << 20;
    constexpr int GrowthPad = 64 << 20;
    mallopt(M_MMAP_THRESHOLD, LargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, KeptFreeTop);
    mallopt(M_TOP_PAD, GrowthPad);
#endif
}

} // namespace

void ThunRTMain(const ProjectDescription& project, int argc, char** argv) {
    ReopenClosedStandardStreams();
    KeepFreedMemory();
#ifdef _WIN32
    // Identical bytes on every platform: no CRLF translation of the lists.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const int status = Run(project, argc, argv);
    std::fflush(stdout);
    std::exit(status);
}

} // namespace platform
