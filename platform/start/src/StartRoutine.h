#pragma once

// The start routine's whole run, with the engine to open a window through
// given as a parameter, so that tests can hand in their own.

#include "WindowEngine.h"
#include "platform/ProjectDescription.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {

using EngineOpener =
    std::function<std::unique_ptr<WindowEngine>(const EngineHost& host, std::string& failure)>;

// Everything ThunRTMain does but end the process: reads the options,
// prepares the standard streams, then runs text mode or the window, all
// inside the one catch. Returns the exit status.
int RunProgram(const ProjectDescription& project, int argc, char** argv,
               const EngineOpener& openEngine);

} // namespace platform
