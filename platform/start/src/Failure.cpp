#include "Failure.h"

#include "WindowEngine.h"
#include "platform/FatalError.h"
#include "platform/Text.h"

#include <cstdio>
#include <new>
#include <stdexcept>

namespace platform {

std::string FailureMessage(const std::exception& error, const std::string& file) {
    const std::string building = TakeBuildingWhenFailed();
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
                             dynamic_cast<const std::length_error*>(&error) != nullptr;
    if (!outOfMemory) {
        return error.what();
    }
    // Which file, and what it was building: "Data.txt: out of memory while
    // loading 3000000 records".
    std::string message;
    if (!file.empty()) {
        message += file + ": ";
    }
    message += "out of memory";
    if (!building.empty()) {
        message += " while " + building;
    }
    return message;
}

void ReportFailure(const std::string& programName, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), message.c_str());
    std::fflush(stderr);
}

void ReportNoWindow(const std::string& programName, const std::string& reason) {
    std::fputs(NoWindowReport(programName, EscapeText(reason)).c_str(), stderr);
    std::fflush(stderr);
}

} // namespace platform
