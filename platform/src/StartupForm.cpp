#include "StartupForm.h"

#include "platform/FatalError.h"
#include "platform/SequentialFile.h"
#include "platform/Text.h"

#include <cstdio>
#include <new>
#include <stdexcept>

namespace platform {

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

void ReportNoWindow(const std::string& programName, const std::string& reason) {
    std::fprintf(stderr, "%s: cannot open a window: %s; use --text to print the lists\n",
                 programName.c_str(), EscapeText(reason).c_str());
    std::fflush(stderr);
}

} // namespace platform
