// The start routine's one sequence for a window, with an engine that only
// records what it is asked: whatever the engine or the load answers, the run
// ends with one report and the right status, and shows a form only once it
// is loaded.

#include "Failure.h"
#include "StartRoutine.h"
#include "TestSupport.h"
#include "platform/FatalError.h"
#include "platform/SequentialFile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

struct EngineScript {
    std::string openFailure;
    std::string showFailure;
    int status = 0;
    std::vector<std::string> calls; // what the engine was asked, in order
    const platform::Form* shown = nullptr;
};

class RecordingEngine : public platform::WindowEngine {
public:
    explicit RecordingEngine(EngineScript& script) : script_(script) {}

    std::string Open(int&, char**) override {
        script_.calls.push_back("Open");
        return script_.openFailure;
    }
    void ShowFailure(const std::string& message) override {
        script_.calls.push_back("ShowFailure " + message);
    }
    std::string ShowForm(const platform::Form& form) override {
        script_.calls.push_back(form.ShowsTips() ? "ShowForm with tips" : "ShowForm");
        script_.shown = &form;
        return script_.showFailure;
    }
    int Run() override {
        script_.calls.push_back("Run");
        return script_.status;
    }

private:
    EngineScript& script_;
};

platform::ProjectDescription ProjectLoading(std::vector<std::string>& calls, bool fails) {
    platform::ProjectDescription project;
    project.name = "quorvale";
    project.title = "Quorvale";
    project.dataFileName = "Data.txt";
    project.startupForm = {"frmTest", "Test", 1500, 1500, {}};
    project.load = [&calls, fails](platform::Form&) {
        calls.push_back("load");
        if (fails) {
            platform::Raise("Data.txt: cannot open for reading: No such file or directory");
        }
    };
    return project;
}

struct Outcome {
    int status;
    std::string standardError;
};

// The whole run with this engine (or none, with `engineMissing`' reason),
// on the data file named by `file` if it is given.
Outcome RunWith(EngineScript& script, bool loadFails, const std::string& engineMissing = {},
                const platform::ProjectDescription* loading = nullptr, std::string file = {}) {
    const platform::ProjectDescription project =
        loading != nullptr ? *loading : ProjectLoading(script.calls, loadFails);
    char name[] = "quorvale";
    char* argv[] = {name, file.data(), nullptr};
    testing::internal::CaptureStderr();
    const int status =
        platform::RunProgram(project, file.empty() ? 1 : 2, argv,
                             [&](const platform::EngineHost& host,
                                 std::string& failure) -> std::unique_ptr<platform::WindowEngine> {
                                 EXPECT_EQ(host.name, "quorvale");
                                 EXPECT_EQ(host.title, "Quorvale");
                                 if (!engineMissing.empty()) {
                                     failure = engineMissing;
                                     return nullptr;
                                 }
                                 return std::make_unique<RecordingEngine>(script);
                             });
    return {status, testing::internal::GetCapturedStderr()};
}

constexpr char NoWindow[] = "quorvale: cannot open a window: ";
constexpr char UseText[] = "; use --text to print the lists\n";

TEST(StartSequence, OpensLoadsShowsAndRunsInThatOrder) {
    EngineScript script;
    script.status = 7;
    const Outcome outcome = RunWith(script, false);
    EXPECT_EQ(outcome.status, 7);
    EXPECT_EQ(outcome.standardError, "");
    EXPECT_EQ(script.calls,
              (std::vector<std::string>{"Open", "load", "ShowForm with tips", "Run"}));
}

TEST(StartSequence, AFailedLoadGoesToStandardErrorAndTheDialogOnly) {
    EngineScript script;
    const Outcome outcome = RunWith(script, true);
    const std::string message = "Data.txt: cannot open for reading: No such file or directory";
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.standardError, "quorvale: " + message + "\n");
    // The dialog names the folder where the program looked.
    const std::string absolute = (std::filesystem::current_path() / message).string();
    EXPECT_EQ(script.calls, (std::vector<std::string>{"Open", "load", "ShowFailure " + absolute}));
    EXPECT_EQ(script.shown, nullptr);
}

// The working directory and this system's separator: where a relative name
// is looked for.
std::string InHere(const std::string& name) {
    return std::filesystem::current_path().string() +
           static_cast<char>(std::filesystem::path::preferred_separator) + name;
}

// The program's own reader on a missing file named on the command line: the
// report keeps the name as given, the dialog names it by its absolute path,
// both escaped.
TEST(StartSequence, TheDialogNamesTheMissingFileByItsAbsolutePath) {
    const testing_support::ScratchDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const std::string looked = InHere("new\\x1B[2J name.txt");
    EngineScript script;
    platform::ProjectDescription project = ProjectLoading(script.calls, false);
    project.load = [](platform::Form&) { platform::OpenForInput("Data.txt", 1); };
    const Outcome outcome = RunWith(script, false, {}, &project, "sub/../new\x1b[2J name.txt");
    std::filesystem::current_path(previous);
    EXPECT_EQ(outcome.status, 1);
    // The system's reason differs: Windows takes no control character in a name.
    const std::string given = "quorvale: sub/../new\\x1B[2J name.txt: cannot open for reading: ";
    ASSERT_EQ(outcome.standardError.rfind(given, 0), 0U) << outcome.standardError;
    const std::string reason = outcome.standardError.substr(given.size());
    EXPECT_EQ(script.calls, (std::vector<std::string>{
                                "Open", "ShowFailure " + looked + ": cannot open for reading: " +
                                            reason.substr(0, reason.size() - 1)}));
}

TEST(StartSequence, DialogMessageReplacesOnlyTheDataFilesOwnName) {
    EXPECT_EQ(platform::DialogMessage("Data.txt, line 2, value 3: \"x\" is not a whole number",
                                      "Data.txt"),
              InHere("Data.txt") + ", line 2, value 3: \"x\" is not a whole number");
    EXPECT_EQ(platform::DialogMessage("Data.txt: out of memory", "./Data.txt"),
              "Data.txt: out of memory")
        << "a message naming the file otherwise than as given";
    EXPECT_EQ(platform::DialogMessage("Data.txtx: cannot open", "Data.txt"),
              "Data.txtx: cannot open");
    EXPECT_EQ(platform::DialogMessage("Data.txt", "Data.txt"), "Data.txt");
    EXPECT_EQ(platform::DialogMessage("standard input, line 1, value 1: bad", "-"),
              "standard input, line 1, value 1: bad");
    const std::string roundabout = InHere("b") + "/../Data.txt";
    EXPECT_EQ(platform::DialogMessage(roundabout + ": cannot open", roundabout),
              InHere("Data.txt") + ": cannot open")
        << "an absolute name, tidied";
    EXPECT_EQ(platform::DialogMessage("\"a\\\"b\": cannot open", "a\"b"),
              "\"" + InHere("a\\\"b") + "\": cannot open")
        << "quoted as reports quote it";
}

TEST(StartSequence, NoWindowIsReportedWithItsReasonAndNothingIsLoaded) {
    EngineScript cannotOpen;
    cannotOpen.openFailure = "no display is set\x1b[31m";
    Outcome outcome = RunWith(cannotOpen, false);
    EXPECT_EQ(outcome.status, 1);
    // The reason may quote the environment: escaped.
    EXPECT_EQ(outcome.standardError,
              NoWindow + std::string("no display is set\\x1B[31m") + UseText);
    EXPECT_EQ(cannotOpen.calls, std::vector<std::string>{"Open"});

    EngineScript missing;
    outcome = RunWith(missing, false, "the window module is missing");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.standardError,
              NoWindow + std::string("the window module is missing") + UseText);
    EXPECT_TRUE(missing.calls.empty());

    EngineScript cannotShow;
    cannotShow.showFailure = "cannot create the window (error 8)";
    outcome = RunWith(cannotShow, false);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.standardError, NoWindow + cannotShow.showFailure + UseText);
    EXPECT_EQ(cannotShow.calls, (std::vector<std::string>{"Open", "load", "ShowForm with tips"}));
}

} // namespace
