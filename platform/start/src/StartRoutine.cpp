#include "StartRoutine.h"

#include "CommandLine.h"
#include "Failure.h"
#include "ListBoxWriting.h"
#include "StandardStreams.h"
#include "TextMode.h"
#include "platform/FatalError.h"
#include "platform/Memory.h"
#include "platform/SequentialFile.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
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

// What a run holds, kept outside the catch: the engine shows the failure
// that ends it, and the form outlives the engine's window.
struct RunState {
    std::unique_ptr<Form> form;
    std::unique_ptr<WindowEngine> engine;
    // The data file is behind the run once the lists are written: memory
    // that runs out then is not the file's.
    bool writingLists = false;
    std::string dataPath; // the data file as opened, for the dialog
};

Form& LoadForm(const ProjectDescription& project, bool showsTips, RunState& state) {
    state.form = std::make_unique<Form>(project.startupForm, showsTips);
    project.load(*state.form);
    // A record line that has no writer would fail only when shown: in the
    // middle of the window's painting, or on text mode's second thread. It
    // fails here instead, as the load ends.
    for (const auto& control : project.startupForm.controls) {
        if (control.kind == ControlKind::ListBox) {
            ListBoxWriting::RaiseUnlessShowable(state.form->ListBoxNamed(control.name));
        }
    }
    return *state.form;
}

int RunAsText(const ProjectDescription& project, bool why, RunState& state) {
    const Form& form = LoadForm(project, why, state);
    state.writingLists = true;
    const Building building("writing the lists");
    if (!WriteFormAsText(form, stdout, project.tipsCaption)) {
        ReportWriteFailure(project.name, "the lists");
        return ExitFailure;
    }
    return StatusAfterWriting(project, "the lists");
}

// The one sequence for every engine: open the display, load the form, show
// it, run until it is closed. A failure to load goes to the engine's dialog
// through the catch.
int RunAsWindow(const ProjectDescription& project, int argc, char** argv,
                const EngineOpener& openEngine, RunState& state) {
    std::string failure;
    state.engine = openEngine({project.name, project.title, project.version}, failure);
    if (state.engine) {
        failure = state.engine->Open(argc, argv);
        if (!failure.empty()) {
            state.engine.reset(); // it shows nothing
        }
    }
    if (!state.engine) {
        ReportNoWindow(project.name, failure);
        return ExitFailure;
    }
    const Form& form = LoadForm(project, true, state);
    failure = state.engine->ShowForm(form);
    if (!failure.empty()) {
        ReportNoWindow(project.name, failure);
        return ExitFailure;
    }
    return state.engine->Run();
}

int Run(const ProjectDescription& project, int argc, char** argv, const EngineOpener& openEngine,
        RunState& state) {
    // Reading the options opens nothing, so a usage error can't be misrouted
    // even before the streams are made safe.
    const Options options = ParseOptions(project, argc, argv);
    state.dataPath = options.file.value_or(project.dataFileName);
    if (!options.help && !options.version) {
        PrepareMemory(state.dataPath);
    }
    PrepareStandardStreams();
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
    return options.text ? RunAsText(project, options.why, state)
                        : RunAsWindow(project, argc, argv, openEngine, state);
}

} // namespace

int RunProgram(const ProjectDescription& project, int argc, char** argv,
               const EngineOpener& openEngine) {
    RunState state;
    // The one place that catches: whatever ends the run early, from reading
    // the options to the last line written, ends here with the program's
    // own report.
    try {
        const int status = Run(project, argc, argv, openEngine, state);
        std::fflush(stdout);
        return status;
    } catch (const std::exception& error) {
        const std::string message =
            FailureMessage(error, state.writingLists ? std::string() : LastOpenedName());
        ReportFailure(project.name, message);
        if (state.engine) {
            state.engine->ShowFailure(DialogMessage(message, state.dataPath));
        }
        return ExitFailure;
    }
}

void ThunRTMain(const ProjectDescription& project, int argc, char** argv) {
    std::exit(RunProgram(project, argc, argv, CreateWindowEngine));
}

} // namespace platform
