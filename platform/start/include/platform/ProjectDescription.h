#pragma once

#include "platform/Form.h"

#include <functional>
#include <string>

namespace platform {

// What the program hands to the start routine: itself, its start-up form
// and the form's load handler.
struct ProjectDescription {
    std::string name;  // the executable's name, used in reports
    std::string title; // for dialogs
    std::string version;
    std::string copyright;    // "Copyright (c) <year> <holders>"
    std::string license;      // the licence's name and where its text is
    std::string summary;      // one line for --help
    std::string dataFileName; // the input that an optional FILE argument replaces
    std::string tipsCaption;  // heads the tips that --why prints
    FormDescription startupForm;
    std::function<void(Form&)> load;
};

// Starts the program: runs the load handler, then shows the form as a
// window with the tips of its lines, or with --text prints its lists, and
// with --why the tips after them. Ends the process.
[[noreturn]] void ThunRTMain(const ProjectDescription& project, int argc, char** argv);

} // namespace platform
