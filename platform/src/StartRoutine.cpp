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
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {

namespace {

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

struct Options {
    bool text = false;
    bool why = false;
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
    std::printf("Usage: %s [--text | --why] [FILE]\n"
                "%s\n\n"
                "Reads the records of FILE (default: %s in the working directory) and shows\n"
                "the four result lists in a window. Hovering over a not-placed or rejected\n"
                "record shows why it was not placed or rejected.\n\n"
                "Options:\n"
                "  --text      print the lists to standard output instead of opening a window\n"
                "  --why       print what --text prints, then an empty line, \"%s\" and\n"
                "              each not-placed and then each rejected record with a tab and\n"
                "              the reason; implies --text\n"
                "  --help      show this help and exit\n"
                "  --version   show the version and exit\n\n"
                "Exit status: 0 on success, 1 on a fatal error, 2 on a usage error.\n",
                project.name.c_str(), project.summary.c_str(), project.dataFileName.c_str(),
                project.tipsCaption.c_str());
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
        } else if (!optionsEnded && arg == "--why") {
            options.text = true;
            options.why = true;
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

int RunAsText(const ProjectDescription& project, bool why) {
    const std::unique_ptr<Form> form = LoadStartupForm(project, nullptr, why);
    if (!form) {
        return ExitFailure;
    }
    if (!WriteFormAsText(*form, stdout, project.tipsCaption) || !StandardOutputWritten()) {
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
        PrintVersion(project);
        return StandardOutputWritten() ? ExitSuccess : ReportWriteFailure(project, "the version");
    }
    if (options.file) {
        RedirectFile(project.dataFileName, *options.file);
    }
    return options.text ? RunAsText(project, options.why) : RunFormWindow(project, argc, argv);
}

} // namespace

void ReportNoWindow(const std::string& programName, const std::string& reason) {
    std::fprintf(stderr, "%s: cannot open a window: %s; use --text to print the lists\n",
                 programName.c_str(), EscapeText(reason).c_str());
    std::fflush(stderr);
}

namespace {

std::string FailureMessage(const std::exception& error) {
    const std::string building = TakeBuildingWhenFailed();
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
                             dynamic_cast<const std::length_error*>(&error) != nullptr;
    if (!outOfMemory) {
        return error.what();
    }
    // Which file, and what it was building: "Data.txt: out of memory while
    // loading 3000000 records".
    std::string message;
    if (!LastOpenedName().empty()) {
        message += LastOpenedName() + ": ";
    }
    message += "out of memory";
    if (!building.empty()) {
        message += " while " + building;
    }
    return message;
}

void ReportFailure(const std::string& program, const std::string& message,
                   const FailureNotice& notice) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), message.c_str());
    std::fflush(stderr);
    if (notice) {
        notice(message);
    }
}

// Lines go out in chunks of this size; the whole text is never held.
constexpr std::size_t TextChunk = 1 << 16;

class ChunkWriter {
public:
    explicit ChunkWriter(std::FILE* out)
        : out_(out), buffer_(std::make_unique_for_overwrite<char[]>(TextChunk)) {}

    void Put(std::string_view text) {
        if (text.size() > TextChunk - used_) {
            Flush();
            if (text.size() > TextChunk) {
                Write(text);
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, text.data(), text.size());
        used_ += text.size();
    }
    void Put(char c) {
        if (used_ == TextChunk) {
            Flush();
        }
        buffer_[used_++] = c;
    }
    // Room for `size` bytes (at most TextChunk) at the end of the buffer,
    // to be taken by Commit.
    char* Room(std::size_t size) {
        if (size > TextChunk - used_) {
            Flush();
        }
        return buffer_.get() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    // True if everything reached the stream and the stream took it.
    bool Finish() {
        Flush();
        return ok_ && std::fflush(out_) == 0 && !std::ferror(out_);
    }

private:
    void Flush() {
        Write({buffer_.get(), used_});
        used_ = 0;
    }
    void Write(std::string_view text) {
        // After a failure errno keeps its cause, and nothing more is tried.
        if (ok_ && !text.empty()) {
            ok_ = std::fwrite(text.data(), 1, text.size(), out_) == text.size();
        }
    }

    std::FILE* out_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool ok_ = true;
};

// Record lines go straight into the buffer, many at a time.
constexpr std::size_t RecordLinesAtOnce = 256;
static_assert(RecordLinesAtOnce * ListBox::RecordLineCapacity <= TextChunk);

void WriteLines(const ListBox& list, ChunkWriter& writer) {
    list.ForEachRun(
        RecordLinesAtOnce,
        [&](std::int32_t, std::string_view text) {
            writer.Put(text);
            writer.Put('\n');
        },
        [&](std::int32_t, std::span<const std::int32_t> records) {
            char* room = writer.Room(records.size() * ListBox::RecordLineCapacity);
            writer.Commit(list.WriteRecordLines(room, records));
        });
}

void WriteTips(const Form& form, std::string_view caption, ChunkWriter& writer) {
    writer.Put('\n');
    writer.Put(caption);
    writer.Put('\n');
    ListBox::LineBuffer scratch;
    for (const auto& control : form.Description().controls) {
        if (control.kind != ControlKind::ListBox || !form.ListBoxNamed(control.name).HasTips()) {
            continue;
        }
        const ListBox& list = form.ListBoxNamed(control.name);
        const std::int32_t count = list.ListCount();
        for (std::int32_t i = 0; i < count; ++i) {
            writer.Put(list.Line(i, scratch));
            writer.Put('\t');
            writer.Put(list.Tip(i));
            writer.Put('\n');
        }
    }
}

} // namespace

std::unique_ptr<Form> LoadStartupForm(const ProjectDescription& project,
                                      const FailureNotice& notice, bool showsTips) {
    try {
        auto form = std::make_unique<Form>(project.startupForm, showsTips);
        project.load(*form);
        return form;
    } catch (const std::exception& error) {
        ReportFailure(project.name, FailureMessage(error), notice);
        return nullptr;
    }
}

bool WriteFormAsText(const Form& form, std::FILE* out, std::string_view tipsCaption) {
    ChunkWriter writer(out);
    const auto& controls = form.Description().controls;
    bool first = true;
    for (const auto& frame : controls) {
        if (frame.kind != ControlKind::Frame) {
            continue;
        }
        if (!first) {
            writer.Put('\n');
        }
        first = false;
        writer.Put(frame.caption);
        writer.Put('\n');
        for (const auto& control : controls) {
            if (control.kind == ControlKind::ListBox && control.container == frame.name) {
                WriteLines(form.ListBoxNamed(control.name), writer);
            }
        }
    }
    if (form.ShowsTips()) {
        WriteTips(form, tipsCaption, writer);
    }
    return writer.Finish();
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

} // namespace

void ThunRTMain(const ProjectDescription& project, int argc, char** argv) {
    ReopenClosedStandardStreams();
#ifdef _WIN32
    // Identical bytes on every platform: no CRLF translation of the lists.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const int status = Run(project, argc, argv);
    std::fflush(stdout);
    std::exit(status);
}

} // namespace platform
