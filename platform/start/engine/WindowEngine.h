#pragma once

// The interface between the start routine and a window engine. The start
// routine declares it; the Qt engine (a module loaded only for a window) and
// the Win32 engine (linked in) realise it. The Qt module reaches nothing of
// the program but through this, so what it needs is handed over here.

#include "platform/Form.h"

#include <memory>
#include <string>

namespace platform {

// What an engine knows of the program.
struct EngineHost {
    std::string name;  // the executable's name, used in reports
    std::string title; // for dialogs
    std::string version;
};

class WindowEngine {
public:
    virtual ~WindowEngine() = default;

    // Connects to the display: "" when a window can be opened, else why not.
    // Nothing else is called when it fails.
    virtual std::string Open(int& argc, char** argv) = 0;
    // Shows the message of the error that ended the run; returns once the
    // user has seen it.
    virtual void ShowFailure(const std::string& message) = 0;
    // Shows the loaded form as a window: "" when it is shown, else why no
    // window could be opened. The form outlives the engine.
    virtual std::string ShowForm(const Form& form) = 0;
    // Runs until the window is closed; the exit status.
    virtual int Run() = 0;
};

// The line that says no window could be opened, and why (escaped by the
// caller where it is untrusted): the same words from every engine.
inline std::string NoWindowReport(const std::string& programName, const std::string& reason) {
    return programName + ": cannot open a window: " + reason + "; use --text to print the lists\n";
}

// This platform's engine: on Linux the Qt module, loaded now; on Windows the
// Win32 engine. Null, with the reason in `failure`, when it can't be had.
std::unique_ptr<WindowEngine> CreateWindowEngine(const EngineHost& host, std::string& failure);

// The Qt module's one entry point, by this name: a new engine that its
// caller owns.
inline constexpr char WindowEngineEntry[] = "QuorvaleCreateWindowEngine";
using WindowEngineEntryPoint = WindowEngine* (*)(const EngineHost& host);

} // namespace platform
