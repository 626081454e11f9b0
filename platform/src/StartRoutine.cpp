#include "CommandLine.h"
#include "LargePages.h"
#include "StandardStreams.h"
#include "StartupForm.h"
#include "TextMode.h"
#include "WindowEngine.h"
#include "platform/Form.h"
#include "platform/SequentialFile.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace platform {

namespace {

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;

// The status of a run that ends by writing to standard output: a failure,
// reported, unless everything reached it.
int StatusAfterWriting(const ProjectDescription& project, const char* what) {
    if (StandardOutputWritten()) {
        return ExitSuccess;
    }
    ReportWriteFailure(project.name, what);
    return ExitFailure;
}

int RunAsText(const ProjectDescription& project, bool why) {
    const std::unique_ptr<Form> form = LoadStartupForm(project, nullptr, why);
    if (!form) {
        return ExitFailure;
    }
    if (!WriteFormAsText(*form, stdout, project.tipsCaption)) {
        ReportWriteFailure(project.name, "the lists");
        return ExitFailure;
    }
    return StatusAfterWriting(project, "the lists");
}

int Run(const ProjectDescription& project, const Options& options, int argc, char** argv) {
    if (options.help) {
        PrintHelp(project);
        return StatusAfterWriting(project, "the help");
    }
    if (options.version) {
        PrintVersion(project);
        return StatusAfterWriting(project, "the version");
    }
    if (options.file) {
        RedirectFile(project.dataFileName, *options.file);
    }
    return options.text ? RunAsText(project, options.why) : RunFormWindow(project, argc, argv);
}

} // namespace

void ThunRTMain(const ProjectDescription& project, int argc, char** argv) {
    // Reading the options opens nothing, so a usage error can't be misrouted
    // even before the streams are made safe.
    const Options options = ParseOptions(project, argc, argv);
    if (!options.help && !options.version) {
        UseLargePages(options.file.value_or(project.dataFileName), argv);
    }
    PrepareStandardStreams();
    const int status = Run(project, options, argc, argv);
    std::fflush(stdout);
    std::exit(status);
}

} // namespace platform
