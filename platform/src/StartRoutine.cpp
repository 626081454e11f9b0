#include "TextMode.h"
#include "WindowEngine.h"
#include "platform/FatalError.h"
#include "platform/Form.h"
#include "platform/SequentialFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
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
    const std::unique_ptr<Form> form = LoadStartupForm(project, nullptr);
    if (!form) {
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
        std::printf("%s %s\n", project.name.c_str(), project.version.c_str());
        return ExitSuccess;
    }
    if (options.file) {
        RedirectFile(project.dataFileName, *options.file);
    }
    return options.text ? RunAsText(project) : RunFormWindow(project, argc, argv);
}

} // namespace

namespace {

std::string FailureMessage(const std::exception& error) {
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
                             dynamic_cast<const std::length_error*>(&error) != nullptr;
    return outOfMemory ? "out of memory" : error.what();
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
    ListBox::LineBuffer scratch;
    const std::int32_t count = list.ListCount();
    for (std::int32_t i = 0; i < count;) {
        const std::span<const std::int32_t> records = list.RecordRun(i, RecordLinesAtOnce);
        if (records.empty()) {
            writer.Put(list.Line(i, scratch));
            writer.Put('\n');
            ++i;
            continue;
        }
        char* room = writer.Room(records.size() * ListBox::RecordLineCapacity);
        writer.Commit(list.WriteRecordLines(room, records));
        i += static_cast<std::int32_t>(records.size());
    }
}

} // namespace

std::unique_ptr<Form> LoadStartupForm(const ProjectDescription& project,
                                      const FailureNotice& notice) {
    try {
        auto form = std::make_unique<Form>(project.startupForm);
        project.load(*form);
        return form;
    } catch (const std::exception& error) {
        ReportFailure(project.name, FailureMessage(error), notice);
        return nullptr;
    }
}

bool WriteFormAsText(const Form& form, std::FILE* out) {
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
    return writer.Finish();
}

void ThunRTMain(const ProjectDescription& project, int argc, char** argv) {
#ifdef _WIN32
    // Identical bytes on every platform: no CRLF translation of the lists.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const int status = Run(project, argc, argv);
    std::fflush(stdout);
    std::exit(status);
}

} // namespace platform
