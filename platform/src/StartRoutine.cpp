#include "TextMode.h"
#include "WindowEngine.h"
#include "platform/FatalError.h"
#include "platform/Form.h"
#include "platform/SequentialFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
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

// In the manner of GNU programs: version, copyright, licence, warranty.
void PrintVersion(const ProjectDescription& project) {
    std::printf("%s %s\n"
                "%s\n"
                "License: %s.\n"
                "This is free software: you are free to change and redistribute it.\n"
                "There is NO WARRANTY, to the extent permitted by law.\n",
                project.name.c_str(), project.version.c_str(), project.copyright.c_str(),
                project.license.c_str());
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
            UsageError(project, "unknown option '" + std::string(arg) + "'");
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
    if (!WriteFormAsText(*form, stdout)) {
        std::fprintf(stderr, "%s: cannot write the lists: %s\n", project.name.c_str(),
                     std::strerror(errno));
        return ExitFailure;
    }
    return ExitSuccess;
}

int Run(const ProjectDescription& project, int argc, char** argv) {
    const Options options = ParseOptions(project, argc, argv);
    if (options.help) {
        PrintHelp(project);
        return ExitSuccess;
    }
    if (options.version) {
        PrintVersion(project);
        return ExitSuccess;
    }
    if (options.file) {
        RedirectFile(project.dataFileName, *options.file);
    }
    return options.text ? RunAsText(project) : RunFormWindow(project, argc, argv);
}

} // namespace

std::string DescribeFailure(const ProjectDescription& project, const std::exception& error) {
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
                             dynamic_cast<const std::length_error*>(&error) != nullptr;
    return project.name + ": " + (outOfMemory ? std::string("out of memory") : error.what());
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
