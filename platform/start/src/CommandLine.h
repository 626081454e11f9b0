#pragma once

#include "platform/ProjectDescription.h"

#include <optional>
#include <string>

namespace platform {

// What the command line asks for.
struct Options {
    bool text = false; // --text, or --why, which implies it
    bool why = false;
    bool help = false;
    bool version = false;
    std::optional<std::string> file; // in place of the project's data file
};

// Reads the arguments. An unknown option or a second file is a usage error:
// it is reported on standard error and the process ends with status 2.
Options ParseOptions(const ProjectDescription& project, int argc, char** argv);

// What --help and --version print on standard output.
void PrintHelp(const ProjectDescription& project);
void PrintVersion(const ProjectDescription& project);

} // namespace platform
